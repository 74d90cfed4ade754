// SPDX-License-Identifier: Apache-2.0
// The call frame: every remote operation is one call frame around one stub.
//
//   connection step -> stub -> (no reply: drop the handle, 2) -> reply convention -> release
//
// An operation states only what is its own: its argument, its convention and its outputs. The
// conventions are in reply_conventions.hpp, the rules for a caller's text in request_text.hpp.
#pragma once

#include <utility>

#include "lib/frame/reply_conventions.hpp"
#include "lib/frame/request_text.hpp"
#include "lib/protocol/procedures.hpp"
#include "lib/transport/connection.hpp"

namespace qel {

// Calls procedure P's stub on clnt. When a reply came back, hands it to onReply and releases
// it afterwards with the codec that decoded it; returns whether a reply came. Used by the frame
// and by operations that make a follow-up call on the same handle. The reply lives in storage
// private to the thread, so it is released with xdr_free directly: the handle's own release
// takes its lock and masks every signal around it, two system calls per call for nothing.
template <typename P, typename OnReply>
bool withReply(CLIENT *clnt, typename P::Argument *arg, OnReply &&onReply) {
  typename P::Result *reply = P::call(arg, clnt);
  if (reply == nullptr) return false;
  std::forward<OnReply>(onReply)(*reply);
  xdr_free(P::replyCodec(), reinterpret_cast<char *>(reply));
  return true;
}

inline void noPreparation(CLIENT *) {}

// The frame. `convention` turns the reply into the result (and writes the outputs); `prepare`
// runs on the handle just before the stub. A missing reply drops the thread's handle and gives
// RESULT_CALL_FAILED without calling the convention.
template <typename P, typename Convention, typename Prepare = void (*)(CLIENT *)>
unsigned int callFrame(typename P::Argument *arg, Convention &&convention,
                       Prepare &&prepare = noPreparation) {
  CLIENT *clnt = nullptr;
  if (const unsigned int rc = connectionStep(&clnt)) return rc;
  std::forward<Prepare>(prepare)(clnt);
  unsigned int result = RESULT_OK;
  const bool replied = withReply<P>(clnt, arg, [&](typename P::Result &reply) {
    result = std::forward<Convention>(convention)(reply);
  });
  if (!replied) {
    qelDisconnect();
    return RESULT_CALL_FAILED;
  }
  return result;
}

}  // namespace qel
