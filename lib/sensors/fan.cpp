// SPDX-License-Identifier: Apache-2.0
// The fan controller's debug state.
#include <algorithm>
#include <iterator>

#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

constexpr int kEntryRoom = static_cast<int>(std::size(FanState{}.entries));

// debugValue6 has no place in FanState. A count that neither record can hold comes from a
// misbehaving server, and none of that reply reaches the caller.
unsigned int copyFanState(const rpc_FanDebugState &reply, FanState *state) {
  if (reply.entryCount < 0 || reply.entryCount > kEntryRoom) return RESULT_INVALID_ARGUMENT;
  state->debugValue1 = reply.debugValue1;
  state->debugValue2 = reply.debugValue2;
  state->debugValue3 = reply.debugValue3;
  state->debugValue4 = reply.debugValue4;
  state->debugValue5 = reply.debugValue5;
  state->debugValue7 = reply.debugValue7;
  state->debugValue8 = reply.debugValue8;
  state->entryCount = reply.entryCount;
  std::copy_n(reply.entries, reply.entryCount, state->entries);
  return RESULT_OK;
}

}  // namespace

extern "C" {

unsigned int qelGetFanState(FanState *state) {
  const auto copy = [&](const rpc_FanDebugState &reply) { return copyFanState(reply, state); };
  return callFrame<proc::GetFanState>(nullptr, RecordReply{copy});
}

}  // extern "C"
