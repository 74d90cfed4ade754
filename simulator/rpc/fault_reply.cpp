// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/fault_reply.hpp"

#include <chrono>
#include <optional>
#include <string>

#include "simulator/rpc/raw_reply.hpp"

namespace qel::simd {

void sendFaulty(SVCXPRT *transport, HeldReplies &held, xdrproc_t codec, void *record,
                const FaultHit &fault) {
  using Clock = HeldReplies::Clock;
  std::string bytes =
      fault.kind == FaultKind::kClose ? std::string() : renderReply(transport, codec, record);
  auto due = Clock::now();
  std::optional<unsigned> untilFault;
  switch (fault.kind) {
    case FaultKind::kDelay:
      due += std::chrono::milliseconds(fault.value);
      break;
    case FaultKind::kCut:
      bytes = cutReply(bytes, static_cast<std::size_t>(fault.value));
      break;
    case FaultKind::kGarble:
      bytes = garbleReply(bytes);
      break;
    case FaultKind::kHang:
      untilFault = fault.id;
      break;
    default:
      break;
  }
  const bool close = fault.kind == FaultKind::kClose || fault.kind == FaultKind::kCut;
  held.hold(transport->xp_fd, std::move(bytes), due, untilFault, close);
}

}  // namespace qel::simd
