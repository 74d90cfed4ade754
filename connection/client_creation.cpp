// Client creation. libtirpc before 1.3.4 keeps the port mapper's address per host from one
// lookup to the next, and a creation that finds that remembered address unreachable (the port
// mapper restarting, or a descriptor table that is full) frees the entry's address text twice
// and aborts the process. Where the installed libtirpc carries that fault the lookup is made
// here instead, over a connection of its own that nothing remembers; the answer and every
// failure are reported exactly as clnt_create reports them.
#include "connection/client_creation.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <rpc/pmap_prot.h>

#include <cstring>
#include <memory>

#include "protocol/rpc_section.hpp"

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

// The port `program` is registered under at the port mapper `portMapper` (the service's TCP
// port), or 0 with the creation error set.
unsigned short lookUpPort(netconfig *tcp, netbuf *portMapper, rpcprog_t program,
                          rpcvers_t version) {
  std::unique_ptr<CLIENT, ClientDestroy> lookup(
      clnt_tli_create(RPC_ANYFD, tcp, portMapper, PMAPPROG, PMAPVERS, 0, 0));
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
  if (getaddrinfo(host, "sunrpc", &hints, &found) != 0) {
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
    netbuf where{sizeof address, sizeof address, &address};
    const unsigned short port = lookUpPort(tcp.get(), &where, program, version);
    if (port == 0) {
      if (rpc_createerr.cf_stat == RPC_SYSTEMERROR) continue;
      return nullptr;
    }
    address.sin_port = htons(port);
    // Calls go through the library's own record stream (protocol/call_path.hpp): the RPC
    // layer's client needs only the smallest buffers it takes.
    return clnt_tli_create(RPC_ANYFD, tcp.get(), &where, program, version, kIdleBuffer,
                           kIdleBuffer);
  }
  return nullptr;
}

#endif

}  // namespace

CLIENT *createTcpClient(const char *host, rpcprog_t program, rpcvers_t version) {
  RpcSection section;
#if QEL_TIRPC_LOOKUP_CACHE_SAFE
  return clnt_create(host, program, version, "tcp");
#else
  return createWithOwnLookup(host, program, version);
#endif
}

}  // namespace qel
