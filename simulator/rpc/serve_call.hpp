// SPDX-License-Identifier: Apache-2.0
// Serving one call: decode the argument, answer it, send the reply, free what decoding
// allocated; with the control side's hooks, trace the call and let a fault have its way.
#pragma once

#include <rpc/rpc.h>

#include <cstring>
#include <type_traits>

#include "simulator/control/call_json.hpp"
#include "simulator/model/log.hpp"
#include "simulator/rpc/dispatch.hpp"
#include "simulator/rpc/fault_reply.hpp"

namespace qel::simd {

template <typename Result, typename Reply>
Result *wirePointer(Reply &reply) {
  if constexpr (std::is_same_v<Reply, Result>) {
    return &reply;
  } else {
    return reply.wire();
  }
}

// The transport of a call, and what the control side adds to it.
struct Call {
  SVCXPRT *transport;
  CallHooks *hooks;
};

template <typename Record>
void setCode(Record &record, int code) {
  if constexpr (std::is_same_v<Record, int>) {
    record = code;
  } else if constexpr (requires { record.errorCode; }) {
    record.errorCode = code;
  }
}

// Decodes the argument of procedure P, runs `answer` on it and sends what it returns: either
// P's reply type itself or a holder with wire(). Whatever decoding allocated is freed again.
// A fault may answer a code in its place, or spoil the reply.
template <typename P, typename Answer>
void serve(const Call &call, Answer answer) {
  using Argument =
      std::conditional_t<std::is_void_v<typename P::Argument>, char, typename P::Argument>;
  SVCXPRT *transport = call.transport;
  Argument argument;
  std::memset(static_cast<void *>(&argument), 0, sizeof argument);
  auto *raw = reinterpret_cast<char *>(&argument);
  if (!svc_getargs(transport, P::argCodec(), raw)) {
    logf(kLogWarning, "procedure %u: arguments do not decode", static_cast<unsigned>(P::kNumber));
    svcerr_decode(transport);
  } else {
    auto run = [&] {
      if constexpr (std::is_void_v<typename P::Argument>) {
        return answer();
      } else {
        return answer(argument);
      }
    };
    nlohmann::json arguments = call.hooks ? argumentJson(argument) : nlohmann::json();
    std::optional<FaultHit> fault;
    if (call.hooks) fault = call.hooks->faults.take(P::kNumber, argumentKey(arguments));
    const bool coded = fault && fault->kind == FaultKind::kCode;
    auto reply = coded ? decltype(run()){} : run();
    auto *record = wirePointer<typename P::Result>(reply);
    if (coded) setCode(*record, fault->value);
    if (call.hooks)
      call.hooks->trace.record(P::kNumber, std::move(arguments), answerJson(*record), fault);
    if (fault && !coded) {
      sendFaulty(transport, call.hooks->held, P::replyCodec(), record, *fault);
    } else if (!svc_sendreply(transport, P::replyCodec(), reinterpret_cast<char *>(record))) {
      logf(kLogWarning, "procedure %u: reply not sent", static_cast<unsigned>(P::kNumber));
    }
  }
  if (!svc_freeargs(transport, P::argCodec(), raw)) {
    logf(kLogWarning, "procedure %u: arguments not freed", static_cast<unsigned>(P::kNumber));
  }
}

}  // namespace qel::simd
