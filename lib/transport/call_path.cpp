// SPDX-License-Identifier: Apache-2.0
// The library's own handle: its call, its reply, its control requests, its creation, and the
// port mapper lookup made over such a handle.
#include "lib/transport/call_path.hpp"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "lib/transport/call_handle.hpp"
#include "lib/transport/no_cancel.hpp"
#include "lib/transport/rpc_section.hpp"

namespace qel {

using namespace callpath;

namespace {

// A port mapper lookup sends 56 bytes and reads a 28-byte reply: the record stream's smallest
// buffers (it takes nothing below 100 bytes).
constexpr u_int kLookupBufferSize = 128;

// The RPC layer names the TCP transport so in its clients.
char kNetid[] = "tcp";
char kDevice[] = "/dev/tcp";

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

// The verifier body the header's decoder allocated. Only an accepted reply has a verifier: in a
// refused one the same place holds the versions or the reason of the refusal.
void releaseVerifier(XDR *x, rpc_msg &reply) {
  // Whatever word the server sent, as the decoder stored it: not always one of the enum's values.
  enum_t status;
  std::memcpy(&status, &reply.rm_reply.rp_stat, sizeof status);
  if (status != MSG_ACCEPTED || reply.acpted_rply.ar_verf.oa_base == nullptr) return;
  const xdr_op op = x->x_op;
  x->x_op = XDR_FREE;
  xdr_opaque_auth(x, &reply.acpted_rply.ar_verf);
  x->x_op = op;
}

// A record the stream cannot read: an input error set the handle's error already, or the
// record marking was broken (a fragment of no bytes that is not the last), after which nothing
// more on the connection can be read in step.
clnt_stat unreadable(Handle &h) {
  if (h.error.re_status == RPC_SUCCESS) h.fail(RPC_CANTRECV, EPROTO);
  h.broken = true;
  return h.error.re_status;
}

// Reads records until the one answering `xid`, and decodes its results. A record whose header
// does not decode is passed over, as is a reply to another call, accepted or refused.
clnt_stat receive(Handle &h, uint32_t xid, xdrproc_t decode, void *results) {
  XDR *x = &h.stream;
  x->x_op = XDR_DECODE;
  rpc_msg reply{};
  for (;;) {
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_results.where = nullptr;
    reply.acpted_rply.ar_results.proc = reinterpret_cast<xdrproc_t>(resultsLater);
    if (!h.atRecordStart && !xdrrec_skiprecord(x)) return unreadable(h);
    h.atRecordStart = false;
    const bool decoded = xdr_replymsg(x, &reply);
    if (decoded && reply.rm_xid == xid) break;
    releaseVerifier(x, reply);
    if (!decoded && h.error.re_status != RPC_SUCCESS) return h.error.re_status;
  }
  _seterr_reply(&reply, &h.error);
  if (h.error.re_status == RPC_SUCCESS && !runCodec(decode, x, results)) {
    if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_CANTDECODERES;
  }
  releaseVerifier(x, reply);
  // A reply counts once its whole record has come: the rest of it is read and passed over.
  if (h.error.re_status == RPC_SUCCESS) {
    if (!xdrrec_skiprecord(x)) return unreadable(h);
    h.atRecordStart = true;
  }
  return h.error.re_status;
}

// Sends one call and, unless told not to, reads its reply, within what is left of the handle's
// deadline; `ms` is the whole wait, which the socket's own receive timeout follows.
clnt_stat exchange(Handle &h, int64_t ms, rpcproc_t procedure, xdrproc_t encode, void *arguments,
                   xdrproc_t decode, void *results, bool awaitReply) {
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
  if (!awaitReply) return h.error.re_status = RPC_TIMEDOUT;
  return receive(h, xid, decode, results);
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
  // A zero timeout sends the call and waits for no reply.
  const bool awaitReply = timeout.tv_sec != 0 || timeout.tv_usec != 0;
  return exchange(h, ms, procedure, encode, arguments, decode, results, awaitReply);
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
  if (h->tcp != nullptr) {
    clnt_destroy(h->tcp);
  } else if (h->closesFd) {
    NoCancel hold;
    close(h->fd);
  }
}

// The descriptor and the server's address, for a connection the library made itself.
bool_t connectionControl(Handle &h, u_int request, void *info) {
  switch (request) {
    case CLGET_SVC_ADDR:
      *static_cast<netbuf *>(info) = h.serverAddress;
      return TRUE;
    case CLGET_SERVER_ADDR:
      std::memcpy(info, &h.server, sizeof h.server);
      return TRUE;
    case CLSET_FD_CLOSE:
    case CLSET_FD_NCLOSE:
      h.closesFd = request == CLSET_FD_CLOSE;
      return TRUE;
    default:
      return FALSE;
  }
}

// Timeouts, transaction id, program and version live in the handle. Of the connection only the
// descriptor, the server's address and whether destruction closes the descriptor are a
// handle's business; every other request is refused.
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
      *static_cast<int *>(info) = h.fd;
      return TRUE;
    case CLGET_SVC_ADDR:
    case CLGET_SERVER_ADDR:
    case CLSET_FD_CLOSE:
    case CLSET_FD_NCLOSE: {
      if (h.tcp == nullptr) return connectionControl(h, request, info);
      RpcSection section;
      return clnt_control(h.tcp, request, static_cast<char *>(info));
    }
    default:
      return FALSE;
  }
}

std::remove_pointer_t<decltype(CLIENT::cl_ops)> ownOps = {call,        abortCall,     getError,
                                                          freeResults, destroyHandle, control};

// Opens the handle's record stream over `fd` and writes the call header's fixed words; false
// when the stream's buffers cannot be had.
bool open(Handle &h, int fd, u_int bufferSize, rpcprog_t program, rpcvers_t version, uint32_t xid) {
  h.fd = fd;
  xdrrec_create(&h.stream, bufferSize, bufferSize, &h, readSome, writeAll);
  if (h.stream.x_private == nullptr) return false;
  h.setWord(kXid, xid);
  h.setWord(kDirection, CALL);
  h.setWord(kRpcVersion, RPC_MSG_VERSION);
  h.setWord(kProgram, program);
  h.setWord(kVersion, version);
  return true;
}

// What the handle shows of itself as a client.
CLIENT *present(std::unique_ptr<Handle> h, AUTH *auth) {
  h->client.cl_auth = auth;
  h->client.cl_ops = &ownOps;
  h->client.cl_private = h.get();
  return &h.release()->client;
}

// No credentials, as the RPC layer's own clients send none: its one shared object.
AUTH *noCredentials() {
  static AUTH *const none = [] {
    RpcSection section;
    return authnone_create();
  }();
  return none;
}

}  // namespace

CLIENT *withOwnCallPath(CLIENT *tcp) {
  std::unique_ptr<Handle> h(new (std::nothrow) Handle);
  int fd = -1;
  uint32_t xid = 0, program = 0, version = 0;
  const bool opened = h != nullptr && clnt_control(tcp, CLGET_FD, reinterpret_cast<char *>(&fd)) &&
                      clnt_control(tcp, CLGET_XID, reinterpret_cast<char *>(&xid)) &&
                      clnt_control(tcp, CLGET_PROG, reinterpret_cast<char *>(&program)) &&
                      clnt_control(tcp, CLGET_VERS, reinterpret_cast<char *>(&version)) &&
                      open(*h, fd, kStreamBufferSize, program, version, xid);
  if (!opened) {
    if (h != nullptr && h->stream.x_private != nullptr) XDR_DESTROY(&h->stream);
    clnt_destroy(tcp);
    return nullptr;
  }
  h->tcp = tcp;
  h->client.cl_netid = tcp->cl_netid;
  h->client.cl_tp = tcp->cl_tp;
  AUTH *auth = tcp->cl_auth;
  return present(std::move(h), auth);
}

CLIENT *handleOver(int fd, const sockaddr_in &server, rpcprog_t program, rpcvers_t version,
                   u_int bufferSize) {
  std::unique_ptr<Handle> h(new (std::nothrow) Handle);
  AUTH *auth = noCredentials();
  if (h == nullptr || auth == nullptr || !open(*h, fd, bufferSize, program, version, firstXid())) {
    if (h != nullptr && h->stream.x_private != nullptr) XDR_DESTROY(&h->stream);
    NoCancel hold;
    close(fd);
    return nullptr;
  }
  h->server = server;
  h->client.cl_netid = kNetid;
  h->client.cl_tp = kDevice;
  return present(std::move(h), auth);
}

clnt_stat askPortMapper(int fd, pmap query, uint32_t xid, steady_clock::time_point deadline,
                        unsigned short &port, rpc_err &error) {
  Handle h;
  // The handle keeps the id before the next call's: a call counts down by one first.
  if (!open(h, fd, kLookupBufferSize, PMAPPROG, PMAPVERS, xid + 1)) {
    error = {};
    error.re_status = RPC_SYSTEMERROR;
    error.re_errno = ENOMEM;
    return RPC_SYSTEMERROR;
  }
  // Released also when a cancellation of the thread unwinds the lookup.
  struct Stream {
    XDR *x;
    ~Stream() { XDR_DESTROY(x); }
  } stream{&h.stream};
  h.deadline = deadline;
  // The port is an unsigned int on the wire; one that does not fit a port is no answer.
  u_int answer = 0;
  clnt_stat status = RPC_TIMEDOUT;
  if (const int left = h.msLeft(); left == 0) {
    h.fail(RPC_TIMEDOUT, 0);
  } else {
    status = exchange(h, left, PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap), &query,
                      reinterpret_cast<xdrproc_t>(xdr_u_int), &answer, true);
  }
  if (status == RPC_SUCCESS && answer > 0xFFFF) status = h.error.re_status = RPC_CANTDECODERES;
  error = h.error;
  port = status == RPC_SUCCESS ? static_cast<unsigned short>(answer) : 0;
  return status;
}

uint32_t firstXid() {
  static std::atomic<uint32_t> disrupt{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  return (disrupt.fetch_add(1, std::memory_order_relaxed) + 1) ^ static_cast<uint32_t>(getpid()) ^
         static_cast<uint32_t>(now) ^ static_cast<uint32_t>(static_cast<uint64_t>(now) >> 32);
}

bool hasOwnCallPath(const CLIENT *clnt) { return clnt != nullptr && clnt->cl_ops == &ownOps; }

pid_t createdIn(const CLIENT *clnt) {
  return static_cast<const Handle *>(clnt->cl_private)->process;
}

void recordCreation(CLIENT *clnt, pid_t process) { Handle::of(clnt).process = process; }

}  // namespace qel
