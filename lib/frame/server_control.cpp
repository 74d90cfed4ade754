// SPDX-License-Identifier: Apache-2.0
// Requests to the management server itself.
#include "lib/frame/call_frame.hpp"

using namespace qel;

extern "C" {

// The thread never keeps a handle after a stop request, whatever came back; after a missing
// reply the frame has dropped it already, so it is dropped exactly once.
unsigned int qelStopServer(void) {
  const unsigned int result = callFrame<proc::StopQelServer>(nullptr, StatusReply{});
  if (threadHandle() != nullptr) qelDisconnect();
  return result;
}

unsigned int qelConfigureServer(void) {
  return callFrame<proc::ConfigureQelServer>(nullptr, StatusReply{});
}

unsigned int qelRebootSP(void) { return callFrame<proc::RebootSP>(nullptr, StatusReply{}); }

}  // extern "C"
