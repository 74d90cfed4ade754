// SPDX-License-Identifier: Apache-2.0
// Platform control. Every value goes to or comes from the management server, which gives it its
// meaning; each operation only states its request and how it reads the reply integer.
#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

// Value reply with zero rejected: the reply always reaches the output, and a reply of 0 means
// the server knows no value.
struct NonZeroValueReply {
  int *out;
  unsigned int operator()(int reply) const {
    *out = reply;
    return reply == 0 ? RESULT_INVALID_ARGUMENT : RESULT_OK;
  }
};

}  // namespace

extern "C" {

unsigned int qelPlatformGetState(int *platformState) {
  return callFrame<proc::PlatformGetState>(nullptr, SignedValueOrZeroReply{platformState});
}

unsigned int qelPlatformSetAction(int actionCode, unsigned char actionOption, int actionValue,
                                  const char *actionText) {
  rpc_PlatformSetAction request{actionCode, actionOption, actionValue, textOrEmpty(actionText)};
  return callFrame<proc::PlatformSetAction>(&request, StatusReply{});
}

unsigned int qelPlatformGetPowerState(int *powerState) {
  return callFrame<proc::PlatformGetPowerState>(nullptr, SignedValueOrZeroReply{powerState});
}

unsigned int qelPlatformSetPowerState(int powerState) {
  return callFrame<proc::PlatformSetPowerState>(&powerState, StatusReply{});
}

unsigned int qelPlatformGetPowerLevel(int *powerLevel) {
  return callFrame<proc::PlatformGetPowerLevel>(nullptr, SignedValueReply{powerLevel});
}

unsigned int qelPlatformSetPowerLevel(int powerLevel) {
  return callFrame<proc::PlatformSetPowerLevel>(&powerLevel, StatusReply{});
}

unsigned int qelPlatformGetShutdownReason(int *shutdownReason) {
  if (shutdownReason == nullptr) return RESULT_INVALID_ARGUMENT;
  return callFrame<proc::PlatformGetOffReason>(nullptr, SignedValueReply{shutdownReason});
}

unsigned int qelPlatformMachineCheckEvent(int eventValue1, int eventValue2, int eventValue3,
                                          const char *eventText) {
  rpc_PlatformMCEvent request{eventValue1, eventValue2, eventValue3, textAsGiven(eventText)};
  return callFrame<proc::PlatformMCEvent>(&request, StatusReply{});
}

unsigned int qelPlatformLogDimmError(int eventValue1, int eventValue2, int eventValue3,
                                     int eventValue4, const char *eventText) {
  rpc_PlatformDimmEvent request{eventValue1, eventValue2, eventValue3, eventValue4,
                                textAsGiven(eventText)};
  return callFrame<proc::PlatformDimmEvent>(&request, StatusReply{});
}

unsigned int qelPlatformButton(int button) {
  return callFrame<proc::PlatformButton>(&button, StatusReply{});
}

// platformType is required; without it the reply would have nowhere to go.
unsigned int qelPlatformGetType(const char *typeKey, int *platformType) {
  if (platformType == nullptr) return RESULT_INVALID_ARGUMENT;
  char *key = textAsGiven(typeKey);
  return callFrame<proc::PlatformGetType>(&key, NonZeroValueReply{platformType});
}

}  // extern "C"
