// SPDX-License-Identifier: Apache-2.0
// Turns decoded ONC RPC requests into calls on the simulated SP and sends the replies.
#pragma once

#include <rpc/rpc.h>

#include <functional>

#include "simulator/control/faults.hpp"
#include "simulator/control/trace.hpp"
#include "simulator/model/sp_state.hpp"
#include "simulator/rpc/held_replies.hpp"

namespace qel::simd {

// What only the server around the SP can do.
struct ServerControls {
  std::function<void()> stop;      // end the server once the reply is out
  std::function<int()> configure;  // reload the scenario; a result code
};

// What the control side adds to every call: its faults, the request trace, and the replies that
// faults hold back.
struct CallHooks {
  Faults &faults;
  Trace &trace;
  HeldReplies &held;
};

// Answers one request of the program's version 1: procedure 0, the 48 management procedures,
// or "procedure unavailable". Arguments that do not decode get "garbage arguments". With
// `hooks`, every management call is traced and may meet a fault.
void dispatchRequest(svc_req *request, SVCXPRT *transport, SpState &state,
                     const ServerControls &controls, CallHooks *hooks);

}  // namespace qel::simd
