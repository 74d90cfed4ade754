// SPDX-License-Identifier: Apache-2.0
// Client creation failures that cannot be produced on demand, injected by standing in for the
// RPC layer's client creation, the connect and the name lookup, and the connection lock seen
// from the host's side.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <rpc/rpc.h>
// After rpc.h, whose types it uses.
#include <rpc/pmap_prot.h>

#include <cerrno>
#include <string>
#include <vector>

#include "server_test.hpp"

namespace {

struct Injection {
  bool armed = false;
  clnt_stat status = RPC_SUCCESS;
  int systemError = 0;  // for RPC_SYSTEMERROR
  int errnoLeft = 0;    // errno as the failed creation leaves it
};
Injection injection;
std::vector<std::string> events;
bool locked = false;
std::string createdWith;  // host, program, version and transport of the last clnt_create
// The same, where the library asks the port mapper itself: the host it resolves for the port
// mapper, and the program, version and protocol of its query.
std::string lookupHost, lookupQuery;

}  // namespace

// The host's connection lock, recorded.
extern "C" void lockSharedRPCConnectionMutex(void) {
  events.push_back("lock");
  locked = true;
}
extern "C" void unlockSharedRPCConnectionMutex(void) {
  events.push_back("unlock");
  locked = false;
  errno = EPERM;  // a careless host lock; the library must not depend on errno surviving it
}

// A creation, at either door the library may use: the RPC layer's creation over its TCP
// transport, or the connect of the library's own creation. One creation is one event; an armed
// injection fails it with the injected status (errno left as injected), a system error as the
// failed connection's errno.
template <typename Real>
auto createOrInject(Real real, decltype(real()) failed) {
  const char *event = locked ? "create under lock" : "create unlocked";
  if (events.empty() || events.back() != event) events.push_back(event);
  if (!injection.armed) return real();
  rpc_createerr.cf_stat = injection.status;
  rpc_createerr.cf_error.re_errno = injection.systemError;
  errno = injection.status == RPC_SYSTEMERROR ? injection.systemError : injection.errnoLeft;
  return failed;
}

extern "C" CLIENT *clnt_tp_create_timed(const char *host, const rpcprog_t program,
                                        const rpcvers_t version, const netconfig *transport,
                                        const timeval *bound) {
  createdWith = std::string(host) + " " + std::to_string(program) + " " + std::to_string(version) +
                " " + transport->nc_netid;
  using Create =
      CLIENT *(*)(const char *, rpcprog_t, rpcvers_t, const netconfig *, const timeval *);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "clnt_tp_create_timed"));
  return createOrInject([&] { return real(host, program, version, transport, bound); },
                        static_cast<CLIENT *>(nullptr));
}

// Only a system error can come of a connect: the other statuses are injected where they arise.
extern "C" int connect(int fd, const sockaddr *address, socklen_t size) {
  using Connect = int (*)(int, const sockaddr *, socklen_t);
  static const auto real = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
  const bool ownStatus = injection.status == RPC_SYSTEMERROR;
  if (injection.armed && !ownStatus) return real(fd, address, size);
  return createOrInject([&] { return real(fd, address, size); }, -1);
}

extern "C" int getaddrinfo(const char *node, const char *service, const addrinfo *hints,
                           addrinfo **found) {
  using Resolve = int (*)(const char *, const char *, const addrinfo *, addrinfo **);
  static const auto real = reinterpret_cast<Resolve>(dlsym(RTLD_NEXT, "getaddrinfo"));
  if (node != nullptr) lookupHost = node;
  if (injection.armed && injection.status == RPC_UNKNOWNHOST) {
    errno = injection.errnoLeft;
    return EAI_NONAME;
  }
  return real(node, service, hints, found);
}

extern "C" bool_t xdr_pmap(XDR *xdrs, pmap *query) {
  using Codec = bool_t (*)(XDR *, pmap *);
  static const auto real = reinterpret_cast<Codec>(dlsym(RTLD_NEXT, "xdr_pmap"));
  if (xdrs->x_op == XDR_ENCODE) {
    lookupQuery = std::to_string(query->pm_prog) + " " + std::to_string(query->pm_vers) +
                  (query->pm_prot == IPPROTO_TCP ? " tcp" : " other");
  }
  return real(xdrs, query);
}

namespace qel::test {
namespace {

struct CreationCase {
  const char *name;
  clnt_stat status;
  int systemError;
  int errnoLeft;
  unsigned int expected;
};

const CreationCase kCases[] = {
    {"refused", RPC_SYSTEMERROR, ECONNREFUSED, 0, RESULT_CONNECTION_REFUSED},
    {"access denied", RPC_SYSTEMERROR, EACCES, 0, RESULT_CONNECTION_REFUSED},
    {"host unreachable", RPC_SYSTEMERROR, EHOSTUNREACH, 0, RESULT_HOST_UNREACHABLE},
    {"host down", RPC_SYSTEMERROR, EHOSTDOWN, 0, RESULT_HOST_DOWN},
    {"out of memory", RPC_SYSTEMERROR, ENOMEM, 0, RESULT_NO_RESOURCES},
    {"other system error", RPC_SYSTEMERROR, ETIMEDOUT, 0, RESULT_NO_RESOURCES},
    {"unknown host", RPC_UNKNOWNHOST, 0, 0, RESULT_NO_RESOURCES},
    // errno is what the failure left over, not what failed.
    {"errno outside a system error", RPC_UNKNOWNHOST, 0, EHOSTUNREACH, RESULT_NO_RESOURCES},
};

TEST(CreationFaults, EachFailureMapsToItsResultAndLeavesNoHandle) {
  ScriptedServer server;
  server.answer(2, Reply::integer(0));
  for (const CreationCase &c : kCases) {
    SCOPED_TRACE(c.name);
    qelDisconnect();
    injection = {true, c.status, c.systemError, c.errnoLeft};
    EXPECT_EQ(qelConnect(nullptr, server.program()), c.expected);
    EXPECT_EQ(qelConfigureServer(), c.expected) << "every remote operation reports it";
    EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
    injection.armed = false;
    EXPECT_EQ(qelConfigureServer(), RESULT_OK) << "the next attempt connects";
  }
  EXPECT_EQ(server.callsOf(2).size(), std::size(kCases));
}

TEST(CreationFaults, FirstConnectionGoesToLocalhostDefaultProgramVersionOneOverTcp) {
  if (qel_once_initialized) GTEST_SKIP() << "needs a process that has not connected yet";
  unsetenv("QELPROGID");
  if (qelConfigureServer() != RESULT_NOT_REGISTERED) {
    GTEST_SKIP() << "a server is registered under the default program on this machine";
  }
  // Whichever door the library took: the RPC layer's creation, or its own port mapper query.
  EXPECT_EQ(createdWith.empty() ? lookupHost + " " + lookupQuery : createdWith,
            "localhost 542197068 1 tcp");
}

TEST(CreationFaults, LockIsTakenExactlyAroundClientCreation) {
  ScriptedServer server;
  qelDisconnect();
  events.clear();
  ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  EXPECT_EQ(events, (std::vector<std::string>{"lock", "create under lock", "unlock"}));

  events.clear();
  EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  EXPECT_TRUE(events.empty()) << "a thread with a handle creates nothing";

  qelDisconnect();
  events.clear();
  injection = {true, RPC_SYSTEMERROR, EHOSTDOWN, 0};
  EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_HOST_DOWN);
  injection.armed = false;
  EXPECT_EQ(events, (std::vector<std::string>{"lock", "create under lock", "unlock"}));
}

}  // namespace
}  // namespace qel::test
