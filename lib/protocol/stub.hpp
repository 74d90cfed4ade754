// The one stub mechanism: every client stub is an instantiation of Procedure<...>::call.
#pragma once

#include <cstring>

#include "qel.h"

namespace qel {

// The wait of every call unless the handle carries one of its own (CLSET_TIMEOUT), from the
// moment the call starts sending until its reply is read.
inline constexpr timeval kCallTimeout{25, 0};

// Runs CLNT_CALL; true on RPC_SUCCESS. A write on a connection the server has dropped must not
// kill the host program: the library's own handles never raise SIGPIPE (protocol/call_path.hpp),
// and around any other handle SIGPIPE is held back and one raised meanwhile taken back.
bool callProcedure(CLIENT *clnt, rpcproc_t number, xdrproc_t argCodec, void *argp,
                   xdrproc_t replyCodec, void *reply);

// Makes `timeout` the wait of every later call on `clnt`, as CLSET_TIMEOUT does.
bool setCallTimeout(CLIENT *clnt, timeval timeout);

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
    if (callProcedure(clnt, Number, argCodec(), const_cast<void *>(static_cast<const void *>(argp)),
                      replyCodec(), &storage)) {
      return &storage;
    }
    // A reply that failed half-way may hold strings or arrays already; the RPC layer leaves
    // them to us.
    xdr_free(replyCodec(), reinterpret_cast<char *>(&storage));
    return nullptr;
  }
};

}  // namespace qel
