// SPDX-License-Identifier: Apache-2.0
// The hostname, and the request that restores the server's default settings.
#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

// Restoring the defaults can take the server minutes.
constexpr timeval kResetTimeout{180, 0};

// The longer wait stays on the handle: every later call of the thread may wait as long, until
// the handle is dropped and a new one made.
void allowResetTime(CLIENT *clnt) { setCallTimeout(clnt, kResetTimeout); }

}  // namespace

extern "C" {

unsigned int qelGetHostname(unsigned int configSelector, char **hostname) {
  u_int selector = configSelector;
  return callFrame<proc::GetHostname>(&selector, TextReply{hostname});
}

unsigned int qelSetHostname(unsigned int configSelector, const char *hostname) {
  rpc_Hostname request{configSelector, textOrEmpty(hostname)};
  return callFrame<proc::SetHostname>(&request, StatusReply{});
}

unsigned int qelResetToDefaultSettings(const unsigned short *resetSelector) {
  if (resetSelector == nullptr) return RESULT_INVALID_ARGUMENT;
  u_short selector = *resetSelector;
  return callFrame<proc::ResetToDefaultSettings>(&selector, StatusReply{}, allowResetTime);
}

}  // extern "C"
