// SPDX-License-Identifier: Apache-2.0
#include "lib/transport/handle_calls.hpp"

#include "lib/transport/call_path.hpp"
#include "lib/transport/rpc_section.hpp"
#include "lib/transport/sigpipe_guard.hpp"

namespace qel {

bool callProcedure(CLIENT *clnt, rpcproc_t number, xdrproc_t argCodec, void *argp,
                   xdrproc_t replyCodec, void *reply) {
  auto call = [&] {
    return clnt_call(clnt, number, argCodec, static_cast<caddr_t>(argp), replyCodec,
                     static_cast<caddr_t>(reply), kCallTimeout) == RPC_SUCCESS;
  };
  // The library's own handles touch no state of the RPC layer during a call: a fork need not
  // wait for one.
  if (hasOwnCallPath(clnt)) return call();
  // A handle the host put in the thread's slot itself calls and writes the RPC layer's way.
  RpcSection section;
  SigpipeGuard guard;
  const bool replied = call();
  if (!replied) guard.swallowPending();
  return replied;
}

bool setCallTimeout(CLIENT *clnt, timeval timeout) {
  auto set = [&] { return clnt_control(clnt, CLSET_TIMEOUT, reinterpret_cast<char *>(&timeout)); };
  if (hasOwnCallPath(clnt)) return set();
  RpcSection section;
  return set();
}

}  // namespace qel
