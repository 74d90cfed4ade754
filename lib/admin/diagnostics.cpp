// SPDX-License-Identifier: Apache-2.0
// PBM strings, process registration, notifications and the server's diagnostics.
#include "lib/frame/call_frame.hpp"

using namespace qel;

extern "C" {

unsigned int qelGetPBMString(unsigned int pbmSelector, char **pbmText) {
  return callFrame<proc::GetPBMString>(&pbmSelector, TextReply{pbmText});
}

// A null text cannot be encoded, so it travels as the empty string.
unsigned int qelSetPBMString(unsigned int pbmSelector, const char *pbmText) {
  rpc_PBMstring request{pbmSelector, textOrEmpty(pbmText)};
  return callFrame<proc::SetPBMString>(&request, StatusReply{});
}

unsigned int qelRegisterPID(int pid, unsigned long processTag) {
  rpc_ProcessInfo request{pid, processTag};
  return callFrame<proc::RegisterPID>(&request, StatusReply{});
}

unsigned int qelNotify(int notification) {
  return callFrame<proc::Notify>(&notification, StatusReply{});
}

// Every failure, connecting included, comes back as a null text: the caller gets the state or
// nothing.
char *qelInternalState(void) {
  char *state = nullptr;
  callFrame<proc::InternalState>(nullptr, [&](const char *text) { return copyText(text, &state); });
  return state;
}

// Every failure reads as 0, the same as a server that answers 0.
int qelSetDebugLevel(int debugLevel) {
  int reply = 0;
  callFrame<proc::SetDbgLevel>(&debugLevel, [&](int level) {
    reply = level;
    return RESULT_OK;
  });
  return reply;
}

}  // extern "C"
