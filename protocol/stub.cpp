#include "protocol/stub.hpp"

#include "protocol/rpc_section.hpp"
#include "protocol/sigpipe_guard.hpp"

namespace qel {

bool callProcedure(CLIENT *clnt, rpcproc_t number, xdrproc_t argCodec, void *argp,
                   xdrproc_t replyCodec, void *reply) {
  SigpipeGuard guard;
  RpcSection section;
  const clnt_stat status = clnt_call(clnt, number, argCodec, static_cast<caddr_t>(argp), replyCodec,
                                     static_cast<caddr_t>(reply), kCallTimeout);
  if (status != RPC_SUCCESS) guard.swallowPending();
  return status == RPC_SUCCESS;
}

}  // namespace qel
