#include "protocol/stub.hpp"

#include "protocol/call_path.hpp"
#include "protocol/rpc_section.hpp"
#include "protocol/sigpipe_guard.hpp"

namespace qel {

bool callProcedure(CLIENT *clnt, rpcproc_t number, xdrproc_t argCodec, void *argp,
                   xdrproc_t replyCodec, void *reply) {
  RpcSection section;
  auto call = [&] {
    return clnt_call(clnt, number, argCodec, static_cast<caddr_t>(argp), replyCodec,
                     static_cast<caddr_t>(reply), kCallTimeout) == RPC_SUCCESS;
  };
  if (hasOwnCallPath(clnt)) return call();
  // A handle the host put in the thread's slot itself writes the RPC layer's way.
  SigpipeGuard guard;
  const bool replied = call();
  if (!replied) guard.swallowPending();
  return replied;
}

}  // namespace qel
