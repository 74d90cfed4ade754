// SPDX-License-Identifier: Apache-2.0
// Sensor reports: whole texts from the management server, handed to the caller as heap copies
// without looking into them, and the two integer reports of one component.
#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

// Sends `component` as the bare string argument of P.
template <typename P, typename Convention>
unsigned int forComponent(char *component, Convention convention) {
  return callFrame<P>(&component, convention);
}

}  // namespace

extern "C" {

unsigned int qelSysGetSensorValuesXML(char **report) {
  return callFrame<proc::SysGetSensorValuesXML>(nullptr, TextReply{report});
}

unsigned int qelSysGetSensorValuesASCII(char **report) {
  return callFrame<proc::SysGetSensorValuesASCII>(nullptr, TextReply{report});
}

unsigned int qelSysGetSensorValuesForComponentXML(const char *component, char **report) {
  return forComponent<proc::SysGetSensorValuesForComponentXML>(textAsGiven(component),
                                                               TextReply{report});
}

unsigned int qelSysGetSensorValuesForComponentASCII(const char *component, char **report) {
  return forComponent<proc::SysGetSensorValuesForComponentASCII>(textAsGiven(component),
                                                                 TextReply{report});
}

unsigned int qelSysGetComponentStatus(const char *component, int *status) {
  return forComponent<proc::SysGetComponentStatus>(textAsGiven(component),
                                                   SignedValueReply{status});
}

unsigned int qelSysGetComponentStatusAll(char **report) {
  return callFrame<proc::SysGetComponentStatusAll>(nullptr, TextReply{report});
}

unsigned int qelSysGetESValuesForComponentXML(const char *component, char **report) {
  return forComponent<proc::SysGetESValuesForComponentXML>(textOrEmpty(component),
                                                           TextReply{report});
}

unsigned int qelSysGetPresenceDetectAll(char **report) {
  return callFrame<proc::SysGetPresenceDetectAll>(nullptr, TextReply{report});
}

// The component is checked only once the thread has a handle, so a thread that cannot connect
// learns that first.
unsigned int qelSysGetPresenceDetect(const char *component, int *presence) {
  CLIENT *clnt = nullptr;
  if (const unsigned int rc = connectionStep(&clnt)) return rc;
  if (component == nullptr || *component == '\0') return RESULT_INVALID_ARGUMENT;
  return forComponent<proc::SysGetPresenceDetect>(textAsGiven(component),
                                                  SignedValueReply{presence});
}

}  // extern "C"
