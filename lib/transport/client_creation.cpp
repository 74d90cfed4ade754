// SPDX-License-Identifier: Apache-2.0
// Client creation. libtirpc before 1.3.4 keeps the port mapper's address per host from one
// lookup to the next, and a creation that finds that remembered address unreachable (the port
// mapper restarting, or a descriptor table that is full) frees the entry's address text twice
// and aborts the process. Where the library is built against such a libtirpc the lookup is
// made here instead, over a connection of its own that nothing remembers; the answer and every
// failure are reported exactly as clnt_create reports them. Built against a later libtirpc,
// the library creates clients with clnt_create.
#include "lib/transport/client_creation.hpp"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <rpc/pmap_prot.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "lib/transport/rpc_section.hpp"

namespace qel {
namespace {

#if !QEL_TIRPC_LOOKUP_CACHE_SAFE

// The smallest buffer the RPC layer's record stream takes.
constexpr u_int kIdleBuffer = 400;

// The RPC layer's own bound for a port mapper lookup.
constexpr timeval kLookupTimeout{15, 0};

struct NetconfigFree {
  void operator()(netconfig *n) const { freenetconfigent(n); }
};
struct AddrinfoFree {
  void operator()(addrinfo *a) const { freeaddrinfo(a); }
};
struct ClientDestroy {
  void operator()(CLIENT *c) const { clnt_destroy(c); }
};

// A TCP client over a socket of its own, created close-on-exec so that no program the host
// executes meanwhile inherits it, and closed when the client is destroyed. Null with the
// creation error set as the RPC layer sets it.
CLIENT *clientOver(netconfig *tcp, netbuf *address, rpcprog_t program, rpcvers_t version,
                   u_int bufferSize) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    rpc_createerr.cf_stat = RPC_SYSTEMERROR;
    rpc_createerr.cf_error.re_errno = errno;
    return nullptr;
  }
  bindresvport(fd, nullptr);  // as the RPC layer does with a socket it makes itself
  CLIENT *clnt = clnt_tli_create(fd, tcp, address, program, version, bufferSize, bufferSize);
  if (clnt == nullptr) {
    close(fd);
    return nullptr;
  }
  clnt_control(clnt, CLSET_FD_CLOSE, nullptr);
  return clnt;
}

// The port `program` is registered under at the port mapper `portMapper` (the service's TCP
// port), or 0 with the creation error set.
unsigned short lookUpPort(netconfig *tcp, netbuf *portMapper, rpcprog_t program,
                          rpcvers_t version) {
  std::unique_ptr<CLIENT, ClientDestroy> lookup(clientOver(tcp, portMapper, PMAPPROG, PMAPVERS, 0));
  if (!lookup) return 0;
  pmap query{program, version, IPPROTO_TCP, 0};
  unsigned short port = 0;
  const clnt_stat status =
      clnt_call(lookup.get(), PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap),
                reinterpret_cast<caddr_t>(&query), reinterpret_cast<xdrproc_t>(xdr_u_short),
                reinterpret_cast<caddr_t>(&port), kLookupTimeout);
  if (status != RPC_SUCCESS) {
    rpc_createerr.cf_stat = RPC_PMAPFAILURE;
    clnt_geterr(lookup.get(), &rpc_createerr.cf_error);
    return 0;
  }
  if (port == 0) rpc_createerr.cf_stat = RPC_PROGNOTREGISTERED;
  return port;
}

CLIENT *createWithOwnLookup(const char *host, rpcprog_t program, rpcvers_t version) {
  std::unique_ptr<netconfig, NetconfigFree> tcp(getnetconfigent("tcp"));
  if (!tcp) {
    rpc_createerr.cf_stat = RPC_UNKNOWNPROTO;
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0) {
    rpc_createerr.cf_stat = RPC_UNKNOWNHOST;
    return nullptr;
  }
  std::unique_ptr<addrinfo, AddrinfoFree> addresses(found);
  rpc_createerr.cf_stat = RPC_UNKNOWNHOST;
  // Like the RPC layer, the first address whose port mapper answers decides.
  for (const addrinfo *a = found; a != nullptr; a = a->ai_next) {
    sockaddr_in address{};
    if (a->ai_addrlen != sizeof address) continue;
    std::memcpy(&address, a->ai_addr, sizeof address);
    address.sin_port = htons(PMAPPORT);
    netbuf where{sizeof address, sizeof address, &address};
    const unsigned short port = lookUpPort(tcp.get(), &where, program, version);
    if (port == 0) {
      if (rpc_createerr.cf_stat == RPC_SYSTEMERROR) continue;
      return nullptr;
    }
    address.sin_port = htons(port);
    // Calls go through the library's own record stream (lib/transport/call_path.hpp): the RPC
    // layer's client needs only the smallest buffers it takes.
    return clientOver(tcp.get(), &where, program, version, kIdleBuffer);
  }
  return nullptr;
}

#else

// clnt_create makes its socket without close-on-exec; it is marked at once, while the host's
// connection lock is held, which a fork waits for.
CLIENT *createWithRpcLayerLookup(const char *host, rpcprog_t program, rpcvers_t version) {
  CLIENT *clnt = clnt_create(host, program, version, "tcp");
  int fd = -1;
  if (clnt != nullptr && clnt_control(clnt, CLGET_FD, reinterpret_cast<char *>(&fd))) {
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
  return clnt;
}

#endif

}  // namespace

CLIENT *createTcpClient(const char *host, rpcprog_t program, rpcvers_t version) {
  RpcSection section;
#if QEL_TIRPC_LOOKUP_CACHE_SAFE
  return createWithRpcLayerLookup(host, program, version);
#else
  return createWithOwnLookup(host, program, version);
#endif
}

}  // namespace qel
