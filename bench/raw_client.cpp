// SPDX-License-Identifier: Apache-2.0
#include "raw_client.hpp"

#include <cstdlib>

#include "lib/transport/sigpipe_guard.hpp"
#include "qel.h"

namespace qel::bench {
namespace {

const timeval kTimeout{25, 0};

bool_t noArgument(XDR *, void *) { return TRUE; }

// The text reply as a plain client would decode it: the RPC layer allocates the text.
bool_t plainStringAndEC(XDR *xdrs, rpc_StringAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdr_string(xdrs, &record->text, ~0u);
}

template <typename Reply>
bool call(CLIENT *clnt, rpcproc_t procedure, bool_t (*codec)(XDR *, Reply *), Reply &reply,
          bool held) {
  const auto run = [&] {
    return clnt_call(clnt, procedure, reinterpret_cast<xdrproc_t>(noArgument), nullptr,
                     reinterpret_cast<xdrproc_t>(codec), reinterpret_cast<caddr_t>(&reply),
                     kTimeout) == RPC_SUCCESS;
  };
  if (!held) return run();
  SigpipeGuard hold;
  const bool ok = run();
  if (!ok) hold.swallowPending();
  return ok;
}

}  // namespace

RawClient::RawClient(rpcprog_t program) : clnt_(clnt_create("localhost", program, 1, "tcp")) {}

RawClient::~RawClient() {
  if (clnt_ != nullptr) clnt_destroy(clnt_);
}

int RawClient::fd() const {
  int fd = -1;
  if (clnt_ != nullptr) clnt_control(clnt_, CLGET_FD, reinterpret_cast<char *>(&fd));
  return fd;
}

bool RawClient::smallCall(bool held) {
  int state = 0;
  return call(clnt_, kPlatformGetState, xdr_int, state, held);
}

bool RawClient::report(bool held) {
  rpc_StringAndEC reply{};
  if (!call(clnt_, kSensorValuesXml, plainStringAndEC, reply, held)) return false;
  free(reply.text);
  return reply.errorCode == 0;
}

CLIENT *libraryHandle() { return static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)); }

}  // namespace qel::bench
