#include "protocol/call_path.hpp"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

namespace qel {
namespace {

// The RPC layer's buffer sizes for a TCP client: 64 KiB each way.
constexpr u_int kBufferSize = 64 * 1024;

// The call header: transaction id, CALL, RPC version 2, program, version, procedure, and the
// null credential and verifier (flavour 0, no body), in network order. The handles the library
// creates carry no credentials.
enum HeaderWord { kXid, kDirection, kRpcVersion, kProgram, kVersion, kProcedure, kWords = 10 };

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

struct Handle {
  CLIENT client{};        // what the stubs and the thread's slot see
  CLIENT *tcp = nullptr;  // the RPC layer's client: the descriptor, its address, its destruction
  int fd = -1;
  XDR stream{};
  uint32_t header[kWords]{};
  timeval wait{25, 0};
  bool waitSet = false;
  int socketWaitMs = 0;  // the descriptor's receive timeout; 0: none
  rpc_err error{};

  static Handle &of(CLIENT *c) { return *static_cast<Handle *>(c->cl_private); }
  uint32_t word(HeaderWord w) const { return ntohl(header[w]); }
  void setWord(HeaderWord w, uint32_t value) { header[w] = htonl(value); }
};

// Waits for the descriptor up to `ms` milliseconds (negative: for ever), as the RPC layer does.
bool pollFor(Handle &h, int ms) {
  pollfd ready{h.fd, POLLIN, 0};
  for (;;) {
    const int n = poll(&ready, 1, ms);
    if (n > 0) return true;
    if (n == 0) {
      h.error.re_status = RPC_TIMEDOUT;
      return false;
    }
    if (errno != EINTR) {
      h.error.re_status = RPC_CANTRECV;
      h.error.re_errno = errno;
      return false;
    }
  }
}

// Makes `ms` the descriptor's own receive timeout, unless it already is.
bool timeoutOnSocket(Handle &h, int ms) {
  if (h.socketWaitMs == ms) return true;
  const timeval wait{ms / 1000, (ms % 1000) * 1000};
  if (setsockopt(h.fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
    h.error.re_status = RPC_CANTRECV;
    h.error.re_errno = errno;
    return false;
  }
  h.socketWaitMs = ms;
  return true;
}

// Fills the stream's input, each read waiting up to the handle's timeout. A positive timeout
// is kept on the descriptor as its receive timeout, so that a read that finds its reply is one
// system call. The kernel may fire that timeout up to an eighth late (a long timer is coarse),
// so it is seven eighths of the wait, and the rest of the wait is polled for exactly. A zero or
// negative timeout (no wait; for ever) is polled for first, as the RPC layer does.
int readSome(void *handle, void *buffer, int length) {
  using std::chrono::steady_clock;
  Handle &h = *static_cast<Handle *>(handle);
  if (length == 0) return 0;
  const int ms = static_cast<int>(std::min<int64_t>(
      int64_t{h.wait.tv_sec} * 1000 + h.wait.tv_usec / 1000, std::numeric_limits<int>::max()));
  if (ms <= 0 && !pollFor(h, ms)) return -1;
  const auto deadline = steady_clock::now() + std::chrono::milliseconds(ms);
  if (ms > 0 && !timeoutOnSocket(h, ms - ms / 8)) return -1;
  for (;;) {
    const ssize_t got = read(h.fd, buffer, static_cast<size_t>(length));
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && errno == EINTR && ms <= 0) continue;
    // The socket's timeout came, or a signal: what is left of the wait is polled for.
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - steady_clock::now());
      if (left.count() > 0 && pollFor(h, static_cast<int>(left.count()))) continue;
      if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_TIMEDOUT;
      return -1;
    }
    h.error.re_status = RPC_CANTRECV;
    h.error.re_errno = got == 0 ? ECONNRESET : errno;  // an end of stream cuts the reply short
    return -1;
  }
}

// Drains the stream's output. MSG_NOSIGNAL: a server that has gone fails the call with EPIPE
// instead of raising SIGPIPE in the host.
int writeAll(void *handle, void *buffer, int length) {
  Handle &h = *static_cast<Handle *>(handle);
  const char *next = static_cast<const char *>(buffer);
  for (int left = length; left > 0;) {
    const ssize_t sent = send(h.fd, next, static_cast<size_t>(left), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0) {
      h.error.re_status = RPC_CANTSEND;
      h.error.re_errno = errno;
      return -1;
    }
    next += sent;
    left -= static_cast<int>(sent);
  }
  return length;
}

// The header's decoder leaves the results where they are: they are decoded once the reply is
// known to answer this call.
bool_t resultsLater(XDR *, void *) { return TRUE; }

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
    if (!xdr_replymsg(x, &reply)) {
      if (h.error.re_status == RPC_SUCCESS) continue;
      return h.error.re_status;
    }
    if (reply.rm_xid == xid) break;
  }
  _seterr_reply(&reply, &h.error);
  if (h.error.re_status == RPC_SUCCESS && !runCodec(decode, x, results)) {
    if (h.error.re_status == RPC_SUCCESS) h.error.re_status = RPC_CANTDECODERES;
  }
  if (reply.acpted_rply.ar_verf.oa_base != nullptr) {
    x->x_op = XDR_FREE;
    xdr_opaque_auth(x, &reply.acpted_rply.ar_verf);
  }
  return h.error.re_status;
}

clnt_stat call(CLIENT *c, rpcproc_t procedure, xdrproc_t encode, void *arguments, xdrproc_t decode,
               void *results, timeval timeout) {
  Handle &h = Handle::of(c);
  if (!h.waitSet && !timeNotOk(timeout)) h.wait = timeout;
  h.error = {};
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
    xdrrec_endofrecord(x, TRUE);
    return h.error.re_status;
  }
  if (!xdrrec_endofrecord(x, TRUE)) return h.error.re_status = RPC_CANTSEND;
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

// Timeouts, transaction id, program and version live in the handle; the rest is the RPC
// layer's client's.
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
    default:
      return clnt_control(h.tcp, request, static_cast<char *>(info));
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
