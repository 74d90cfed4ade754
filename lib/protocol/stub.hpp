// SPDX-License-Identifier: Apache-2.0
// The one stub mechanism: every client stub is an instantiation of Procedure<...>::call.
#pragma once

#include <cstring>

#include "lib/transport/handle_calls.hpp"
#include "qel.h"

namespace qel {

template <typename T>
using Codec = bool_t (*)(XDR *, T *);

// One remote procedure: its number, argument and reply types and codecs. `call` is the client
// stub: it decodes into reply storage private to the calling thread and this procedure.
template <rpcproc_t Number, typename Arg, typename Reply, Codec<Arg> ArgCodec,
          Codec<Reply> ReplyCodec>
struct Procedure {
  using Argument = Arg;
  using Result = Reply;
  static constexpr rpcproc_t kNumber = Number;

  static xdrproc_t argCodec() { return reinterpret_cast<xdrproc_t>(ArgCodec); }
  static xdrproc_t replyCodec() { return reinterpret_cast<xdrproc_t>(ReplyCodec); }

  static Reply *call(Arg *argp, CLIENT *clnt) {
    static thread_local Reply storage;
    std::memset(static_cast<void *>(&storage), 0, sizeof storage);
    // A reply that failed half-way may hold strings or arrays already, which the RPC layer
    // leaves to us: released when the call fails, and when a cancellation of the thread unwinds
    // it during its wait.
    struct Release {
      bool failed = true;
      ~Release() {
        if (failed) xdr_free(replyCodec(), reinterpret_cast<char *>(&storage));
      }
    } release;
    release.failed =
        !callProcedure(clnt, Number, argCodec(),
                       const_cast<void *>(static_cast<const void *>(argp)), replyCodec(), &storage);
    return release.failed ? nullptr : &storage;
  }
};

}  // namespace qel
