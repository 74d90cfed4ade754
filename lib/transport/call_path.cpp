// SPDX-License-Identifier: Apache-2.0
// The library's own handle: its call, its reply, its control requests, its creation.
#include "lib/transport/call_path.hpp"

#include <memory>
#include <new>
#include <type_traits>

#include "lib/transport/call_handle.hpp"
#include "lib/transport/rpc_section.hpp"

namespace qel {

using namespace callpath;

namespace {

// The RPC layer's buffer sizes for a TCP client: 64 KiB each way.
constexpr u_int kBufferSize = 64 * 1024;

// Runs a codec handed over as the RPC layer's generic xdrproc_t, as the RPC layer itself does:
// the codec's own type names its record, which the call does not know. (Clang's check of
// indirect calls would take that for a type mismatch.)
#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
bool_t
runCodec(xdrproc_t codec, XDR *x, void *object) {
  return codec(x, object);
}

// A timeout the RPC layer refuses to take.
bool timeNotOk(const timeval &t) {
  return t.tv_sec < -1 || t.tv_sec > 100000000 || t.tv_usec < -1 || t.tv_usec > 1000000;
}

// The header's decoder leaves the results where they are: they are decoded once the reply is
// known to answer this call.
bool_t resultsLater(XDR *, void *) { return TRUE; }

// The reply's verifier body, allocated by the header's decoder when the server sent one.
void freeVerifier(XDR *x, rpc_msg &reply) {
  if (reply.acpted_rply.ar_verf.oa_base == nullptr) return;
  const xdr_op op = x->x_op;
  x->x_op = XDR_FREE;
  xdr_opaque_auth(x, &reply.acpted_rply.ar_verf);
  x->x_op = op;
}

// Reads records until the one answering `xid`, and decodes its results. A record whose header
// does not decode is passed over, as is a reply to an earlier call.
clnt_stat receive(Handle &h, uint32_t xid, xdrproc_t decode, void *results) {
  XDR *x = &h.stream;
  x->x_op = XDR_DECODE;
  rpc_msg reply{};
  for (;;) {
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_results.where = nullptr;
    reply.acpted_rply.ar_results.proc = reinterpret_cast<xdrproc_t>(resultsLater);
    if (!xdrrec_skiprecord(x)) return h.error.re_status;
    const bool decoded = xdr_replymsg(x, &reply);
    if (decoded && reply.rm_xid == xid) break;
    freeVerifier(x, reply);
    if (!decoded && h.error.re_status != RPC_SUCCESS) return h.error.re_status;
  }
  _seterr_reply(&reply, &h.error);
  if (h.error.re_status == RPC_SUCCESS && !runCodec(decode, x, results)) {
    if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_CANTDECODERES;
  }
  freeVerifier(x, reply);
  return h.error.re_status;
}

// The handle sends no credentials: a host that put others on it has its calls refused rather
// than sent without them.
bool sendsNoCredentials(const AUTH *auth) {
  return auth != nullptr && auth->ah_cred.oa_flavor == AUTH_NONE &&
         auth->ah_verf.oa_flavor == AUTH_NONE;
}

clnt_stat call(CLIENT *c, rpcproc_t procedure, xdrproc_t encode, void *arguments, xdrproc_t decode,
               void *results, timeval timeout) {
  Handle &h = Handle::of(c);
  if (!h.waitSet && !timeNotOk(timeout)) h.wait = timeout;
  h.error = {};
  if (h.broken) {
    h.fail(RPC_CANTSEND, EPIPE);
    return RPC_CANTSEND;
  }
  if (!sendsNoCredentials(c->cl_auth)) {
    h.error.re_status = RPC_AUTHERROR;
    h.error.re_why = AUTH_FAILED;
    return RPC_AUTHERROR;
  }
  // One wait for the whole call, from the moment it starts sending.
  const int64_t ms = int64_t{h.wait.tv_sec} * 1000 + h.wait.tv_usec / 1000;
  h.deadline.reset();
  if (ms >= 0) h.deadline = steady_clock::now() + std::chrono::milliseconds(ms);
  if (!timeoutOnSocket(h, socketWaitFor(ms))) return h.error.re_status;
  h.error.re_status = RPC_SUCCESS;
  const uint32_t xid = h.word(kXid) - 1;
  h.setWord(kXid, xid);
  h.setWord(kProcedure, procedure);

  XDR *x = &h.stream;
  x->x_op = XDR_ENCODE;
  if (!XDR_PUTBYTES(x, reinterpret_cast<char *>(h.header), sizeof h.header) ||
      !runCodec(encode, x, arguments)) {
    // What was encoded still goes out as a record, as the RPC layer's own client does.
    if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_CANTENCODEARGS;
    if (!xdrrec_endofrecord(x, TRUE)) h.broken = true;
    return h.error.re_status;
  }
  if (!xdrrec_endofrecord(x, TRUE)) {
    h.broken = true;
    if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_CANTSEND;
    return h.error.re_status;
  }
  // A zero timeout sends the call and waits for no reply.
  if (timeout.tv_sec == 0 && timeout.tv_usec == 0) return h.error.re_status = RPC_TIMEDOUT;
  return receive(h, xid, decode, results);
}

void abortCall(CLIENT *) {}

void getError(CLIENT *c, rpc_err *error) { *error = Handle::of(c).error; }

bool_t freeResults(CLIENT *, xdrproc_t decode, void *results) {
  xdr_free(decode, static_cast<char *>(results));
  return TRUE;
}

void destroyHandle(CLIENT *c) {
  std::unique_ptr<Handle> h(&Handle::of(c));
  XDR_DESTROY(&h->stream);
  clnt_destroy(h->tcp);
}

// Timeouts, transaction id, program and version live in the handle. Of the RPC layer's client
// only the descriptor, the server's address and whether destruction closes the descriptor are
// a handle's business; every other request is refused.
bool_t control(CLIENT *c, u_int request, void *info) {
  Handle &h = Handle::of(c);
  switch (request) {
    case CLSET_TIMEOUT:
      if (timeNotOk(*static_cast<timeval *>(info))) return FALSE;
      h.wait = *static_cast<timeval *>(info);
      h.waitSet = true;
      return TRUE;
    case CLGET_TIMEOUT:
      *static_cast<timeval *>(info) = h.wait;
      return TRUE;
    case CLGET_XID:
      *static_cast<uint32_t *>(info) = h.word(kXid);
      return TRUE;
    case CLSET_XID:  // the next call's id; a call counts down by one first
      h.setWord(kXid, *static_cast<uint32_t *>(info) + 1);
      return TRUE;
    case CLGET_VERS:
    case CLGET_PROG:
      *static_cast<uint32_t *>(info) = h.word(request == CLGET_VERS ? kVersion : kProgram);
      return TRUE;
    case CLSET_VERS:
    case CLSET_PROG:
      h.setWord(request == CLSET_VERS ? kVersion : kProgram, *static_cast<uint32_t *>(info));
      return TRUE;
    case CLGET_FD:
    case CLGET_SVC_ADDR:
    case CLGET_SERVER_ADDR:
    case CLSET_FD_CLOSE:
    case CLSET_FD_NCLOSE: {
      RpcSection section;
      return clnt_control(h.tcp, request, static_cast<char *>(info));
    }
    default:
      return FALSE;
  }
}

std::remove_pointer_t<decltype(CLIENT::cl_ops)> ownOps = {call,        abortCall,     getError,
                                                          freeResults, destroyHandle, control};

}  // namespace

CLIENT *withOwnCallPath(CLIENT *tcp) {
  std::unique_ptr<Handle> h(new (std::nothrow) Handle);
  uint32_t xid = 0, program = 0, version = 0;
  if (h != nullptr && clnt_control(tcp, CLGET_FD, reinterpret_cast<char *>(&h->fd)) &&
      clnt_control(tcp, CLGET_XID, reinterpret_cast<char *>(&xid)) &&
      clnt_control(tcp, CLGET_PROG, reinterpret_cast<char *>(&program)) &&
      clnt_control(tcp, CLGET_VERS, reinterpret_cast<char *>(&version))) {
    // The stream's buffers may not be had: it is then left without its private part.
    xdrrec_create(&h->stream, kBufferSize, kBufferSize, h.get(), readSome, writeAll);
  }
  if (h == nullptr || h->stream.x_private == nullptr) {
    clnt_destroy(tcp);
    return nullptr;
  }
  h->tcp = tcp;
  h->client.cl_auth = tcp->cl_auth;
  h->client.cl_ops = &ownOps;
  h->client.cl_private = h.get();
  h->client.cl_netid = tcp->cl_netid;
  h->client.cl_tp = tcp->cl_tp;
  h->setWord(kXid, xid);
  h->setWord(kDirection, CALL);
  h->setWord(kRpcVersion, RPC_MSG_VERSION);
  h->setWord(kProgram, program);
  h->setWord(kVersion, version);
  return &h.release()->client;
}

bool hasOwnCallPath(const CLIENT *clnt) { return clnt != nullptr && clnt->cl_ops == &ownOps; }

}  // namespace qel
