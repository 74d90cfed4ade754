// SPDX-License-Identifier: Apache-2.0
// The reply of a call that a fault has hit, other than one answering a code.
#pragma once

#include <rpc/rpc.h>

#include "simulator/control/faults.hpp"
#include "simulator/rpc/held_replies.hpp"

namespace qel::simd {

// Sends the reply to `record` as the fault says: late, cut short, spoilt, only once the fault
// is gone, or not at all on a closed connection. The reply goes out through `held`, so the
// connection is read no more until it has been dealt with.
void sendFaulty(SVCXPRT *transport, HeldReplies &held, xdrproc_t codec, void *record,
                const FaultHit &fault);

}  // namespace qel::simd
