// SPDX-License-Identifier: Apache-2.0
// Client creation. libtirpc before 1.3.4 keeps the port mapper's address per host from one
// lookup to the next, and a creation that finds that remembered address unreachable (the port
// mapper restarting, or a descriptor table that is full) frees the entry's address text twice
// and aborts the process; its creation also blocks every signal around its connect and its
// lookup, and its waits start over with every byte that arrives. Where the library is built
// against such a libtirpc it creates clients itself: a connection of its own to the port
// mapper (nothing is remembered), the lookup over the library's own call path, then the
// connection to the server, every wait within what is left of one deadline and no signal mask
// touched. Built against a later libtirpc, the library lets the RPC layer create the client
// over its IPv4 TCP transport, with the lookup bounded by the same deadline.
#include "lib/transport/client_creation.hpp"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "lib/transport/call_path.hpp"
#include "lib/transport/no_cancel.hpp"
#include "lib/transport/rpc_section.hpp"
#include "lib/transport/sigpipe_guard.hpp"

namespace qel {
namespace {

using Clock = std::chrono::steady_clock;

#if !QEL_TIRPC_LOOKUP_CACHE_SAFE

struct AddrinfoFree {
  void operator()(addrinfo *a) const { freeaddrinfo(a); }
};

// A descriptor closed when it goes out of scope, also when a cancellation of the thread unwinds
// past it.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ < 0) return;
    NoCancel hold;
    close(fd_);
  }
  Socket(const Socket &) = delete;
  Socket &operator=(const Socket &) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool systemError(CreationError &error, int cause) {
  error.cf_stat = RPC_SYSTEMERROR;
  error.cf_error.re_errno = cause;
  return false;
}

// Milliseconds left until `deadline`, rounded up.
int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<int64_t>(left.count(), 0, std::numeric_limits<int>::max()));
}

// Connects `s` to `address` by `deadline`, and leaves it blocking, as the call path reads it.
// A signal does not start the wait over.
bool connectBy(const Socket &s, const sockaddr_in &address, Clock::time_point deadline,
               CreationError &error) {
  if (s.get() < 0) return systemError(error, errno);
  if (connect(s.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
    // Interrupted, the connection goes on by itself: it is waited for all the same.
    if (errno != EINPROGRESS && errno != EINTR) return systemError(error, errno);
    pollfd ready{s.get(), POLLOUT, 0};
    for (;;) {
      const int ms = msLeft(deadline);
      if (ms == 0) return systemError(error, ETIMEDOUT);
      const int n = poll(&ready, 1, ms);
      if (n > 0) break;
      if (n < 0 && errno != EINTR) return systemError(error, errno);
    }
    int result = 0;
    socklen_t size = sizeof result;
    if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &result, &size) != 0) result = errno;
    if (result != 0) return systemError(error, result);
  }
  const int flags = fcntl(s.get(), F_GETFL);
  if (flags < 0 || fcntl(s.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return systemError(error, errno);
  }
  return true;
}

// A new TCP socket, close-on-exec from the start so that no program another thread executes
// meanwhile inherits it. No reserved port: the management server does not ask for one.
Socket newSocket() {
  return Socket(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
}

// The port `program` is registered under with the port mapper at `portMapper`, or 0 with the
// error set.
unsigned short lookUpPort(const sockaddr_in &portMapper, rpcprog_t program, rpcvers_t version,
                          Clock::time_point deadline, CreationError &error) {
  const Socket s = newSocket();
  if (!connectBy(s, portMapper, deadline, error)) return 0;
  unsigned short port = 0;
  rpc_err failure{};
  if (askPortMapper(s.get(), pmap{program, version, IPPROTO_TCP, 0}, firstXid(), deadline, port,
                    failure) != RPC_SUCCESS) {
    error.cf_stat = RPC_PMAPFAILURE;
    error.cf_error = failure;
    return 0;
  }
  if (port == 0) error.cf_stat = RPC_PROGNOTREGISTERED;
  return port;
}

CLIENT *createOwn(const char *host, rpcprog_t program, rpcvers_t version,
                  Clock::time_point deadline, CreationError &error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo *found = nullptr;
  int resolved;
  {
    // The resolver's own sockets and files are not released by a cancellation.
    NoCancel hold;
    resolved = getaddrinfo(host, nullptr, &hints, &found);
  }
  error.cf_stat = RPC_UNKNOWNHOST;
  if (resolved != 0) return nullptr;
  const std::unique_ptr<addrinfo, AddrinfoFree> addresses(found);
  // Like the RPC layer, the first address whose port mapper answers decides.
  for (const addrinfo *a = found; a != nullptr; a = a->ai_next) {
    sockaddr_in address{};
    if (a->ai_addrlen != sizeof address) continue;
    std::memcpy(&address, a->ai_addr, sizeof address);
    address.sin_port = htons(PMAPPORT);
    const unsigned short port = lookUpPort(address, program, version, deadline, error);
    if (port == 0) {
      if (error.cf_stat == RPC_SYSTEMERROR) continue;
      return nullptr;
    }
    address.sin_port = htons(port);
    Socket server = newSocket();
    if (!connectBy(server, address, deadline, error)) return nullptr;
    CLIENT *clnt = handleOver(server.release(), address, program, version);
    if (clnt == nullptr) systemError(error, ENOMEM);
    return clnt;
  }
  return nullptr;
}

#else

struct NetconfigFree {
  void operator()(netconfig *n) const { freenetconfigent(n); }
};

// The RPC layer's creation over its IPv4 TCP transport, the same addresses as the library's own:
// a host whose name also stands for an IPv6 address is still asked for the program's IPv4
// registration. The lookup is bounded (by each of the port mapper versions the RPC layer
// tries); the connect to the server is the kernel's, and the RPC layer blocks every signal
// around both. Its socket is marked close-on-exec at once, under the host's connection lock,
// which a fork waits for.
CLIENT *createByRpcLayer(const char *host, rpcprog_t program, rpcvers_t version,
                         CreationError &error) {
  RpcSection section;
  SigpipeGuard guard;
  const std::unique_ptr<netconfig, NetconfigFree> tcp(getnetconfigent("tcp"));
  timeval bound = kCreationTimeout;
  CLIENT *clnt = tcp ? clnt_tp_create_timed(host, program, version, tcp.get(), &bound) : nullptr;
  if (clnt == nullptr) {
    error = rpc_createerr;
    if (!tcp) error.cf_stat = RPC_UNKNOWNPROTO;
    guard.swallowPending();
    return nullptr;
  }
  int fd = -1;
  if (clnt_control(clnt, CLGET_FD, reinterpret_cast<char *>(&fd))) {
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
  clnt = withOwnCallPath(clnt);
  if (clnt == nullptr) {
    error.cf_stat = RPC_SYSTEMERROR;
    error.cf_error.re_errno = ENOMEM;
  }
  return clnt;
}

#endif

}  // namespace

CLIENT *createClient(const char *host, rpcprog_t program, rpcvers_t version, CreationError &error) {
  error = {};
#if QEL_TIRPC_LOOKUP_CACHE_SAFE
  return createByRpcLayer(host, program, version, error);
#else
  const auto bound = std::chrono::seconds(kCreationTimeout.tv_sec) +
                     std::chrono::microseconds(kCreationTimeout.tv_usec);
  return createOwn(host, program, version, Clock::now() + bound, error);
#endif
}

}  // namespace qel
