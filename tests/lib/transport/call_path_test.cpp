// SPDX-License-Identifier: Apache-2.0
// The library's call path over a loopback connection of its own, without a port mapper: the test
// plays the server on the other end, byte by byte.
#include "lib/transport/call_path.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "loopback.hpp"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr uint32_t kProgram = 0x40000123;
constexpr long kWaitMs = 1500;
// The timeout a stub passes; the handle's own wait overrides it.
constexpr timeval kStubTimeout{25, 0};

// `record` as one last fragment.
Bytes marked(const Bytes &record) {
  return concat({words({0x80000000u | static_cast<uint32_t>(record.size())}), record});
}

// A connected pair of loopback TCP sockets: the library's end wrapped in a handle of its own.
struct Pair {
  int server = -1;
  CLIENT *clnt = nullptr;

  Pair() {
    const ConnectedPair ends = connectedPair();
    server = ends.server;
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getpeername(ends.client, reinterpret_cast<sockaddr *>(&address), &size);
    netbuf where{size, size, &address};
    CLIENT *tcp = clnt_vc_create(ends.client, &where, kProgram, 1, 0, 0);
    clnt_control(tcp, CLSET_FD_CLOSE, nullptr);
    clnt = withOwnCallPath(tcp);
    timeval wait{kWaitMs / 1000, kWaitMs % 1000 * 1000};
    clnt_control(clnt, CLSET_TIMEOUT, reinterpret_cast<char *>(&wait));
  }
  ~Pair() {
    clnt_destroy(clnt);
    close(server);
  }

  // One whole call record as the server reads it (record marks taken off).
  Bytes readRecord() const {
    Bytes record;
    for (bool last = false; !last;) {
      uint32_t mark = 0;
      if (recv(server, &mark, 4, MSG_WAITALL) != 4) return record;
      mark = ntohl(mark);
      last = mark & 0x80000000u;
      const size_t start = record.size();
      record.resize(start + (mark & 0x7fffffffu));
      recv(server, record.data() + start, record.size() - start, MSG_WAITALL);
    }
    return record;
  }
  void send(const Bytes &record) const { sendRaw(marked(record)); }
  void sendRaw(const Bytes &bytes) const {
    ::send(server, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  clnt_stat callInt(int *result, rpcproc_t procedure = 2) const {
    return clnt_call(clnt, procedure,
                     reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_void)), nullptr,
                     reinterpret_cast<xdrproc_t>(xdr_int), reinterpret_cast<caddr_t>(result),
                     kStubTimeout);
  }
};

// An accepted, successful reply to `xid`: a verifier of `verifier` words (flavour 1 when not
// empty), then the results.
Bytes reply(uint32_t xid, const Bytes &results, const Bytes &verifier = {}) {
  return concat(
      {words({xid, 1, 0, verifier.empty() ? 0u : 1u, static_cast<uint32_t>(verifier.size())}),
       verifier, words({0}), results});
}

// The call fails at its wait: neither before it nor more than a tenth after it.
void expectFailsAtItsWait(const std::function<clnt_stat()> &call) {
  const auto start = steady_clock::now();
  EXPECT_EQ(call(), RPC_TIMEDOUT);
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(kWaitMs));
  EXPECT_LE(took, milliseconds(kWaitMs + kWaitMs / 10));
}

TEST(CallPath, RecordsThatAnswerNoCallArePassedOverVerifiersAndAll) {
  Pair p;
  std::thread server([&] {
    const uint32_t xid = wordAt(p.readRecord(), 0);
    p.send(reply(xid + 1, encodeInt(7), words({0xAAAAAAAA, 0xBBBBBBBB})));
    p.send(words({xid, 0x12345678}));  // no reply at all
    p.send(reply(xid, encodeInt(5), words({0xCCCCCCCC})));
  });
  int result = 0;
  EXPECT_EQ(p.callInt(&result), RPC_SUCCESS);
  EXPECT_EQ(result, 5);
  server.join();
}

// What the server sends after the call, in full (record marks included), and how the call ends.
struct ReplyCase {
  const char *name;
  Bytes (*stream)(uint32_t xid);
  clnt_stat status;
  int result;  // for RPC_SUCCESS
};

const ReplyCase kReplies[] = {
    {"version mismatch",
     [](uint32_t x) {
       return marked(words({x, 1, 1, 0, 2, 2}));
     },
     RPC_VERSMISMATCH, 0},
    {"authentication error",
     [](uint32_t x) {
       return marked(words({x, 1, 1, 1, 5}));
     },
     RPC_AUTHERROR, 0},
    {"program version mismatch",
     [](uint32_t x) {
       return marked(words({x, 1, 0, 0, 0, 2, 1, 1}));
     },
     RPC_PROGVERSMISMATCH, 0},
    {"procedure unavailable",
     [](uint32_t x) {
       return marked(words({x, 1, 0, 0, 0, 3}));
     },
     RPC_PROCUNAVAIL, 0},
    // Refusals meant for other calls are passed over, whatever their unions hold.
    {"another call's refusals first",
     [](uint32_t x) {
       return concat({marked(words({x + 1, 1, 1, 0, 2, 2})), marked(words({x - 1, 1, 1, 1, 1})),
                      marked(words({x + 2, 1, 0, 0, 0, 2, 1, 1})), marked(reply(x, encodeInt(9)))});
     },
     RPC_SUCCESS, 9},
    {"a record that is not a reply first",
     [](uint32_t x) {
       return concat({marked(words({x, 0, 2})), marked(reply(x, encodeInt(4)))});
     },
     RPC_SUCCESS, 4},
    // A reply to another call in a fragment that is not the last, then a fragment header of 0:
    // no record can be read in step any more.
    {"a zero fragment header",
     [](uint32_t x) {
       return concat(
           {words({24, x + 1, 1, 0, 0, 0, 0}), words({0}), marked(reply(x, encodeInt(3)))});
     },
     RPC_CANTRECV, 0},
    {"a reply in two fragments",
     [](uint32_t x) {
       const Bytes whole = reply(x, encodeInt(6));
       return concat({words({12}), Bytes(whole.begin(), whole.begin() + 12),
                      words({0x80000000u | 16}), Bytes(whole.begin() + 12, whole.end())});
     },
     RPC_SUCCESS, 6},
    // The reply is there, but its record never ends: no reply has come.
    {"a reply whose record never ends",
     [](uint32_t x) {
       return concat({words({28}), reply(x, encodeInt(1))});
     },
     RPC_CANTRECV, 0},
    {"a zero fragment header inside the reply",
     [](uint32_t x) {
       return concat({words({8, x, 1}), words({0})});
     },
     RPC_CANTRECV, 0},
};

TEST(CallPath, EachReplyTypeEndsTheCallAsTheMessageFormatSays) {
  for (const ReplyCase &c : kReplies) {
    SCOPED_TRACE(c.name);
    Pair p;
    // Then nothing more: a call still reading meets the end of the stream.
    std::thread server([&] {
      p.sendRaw(c.stream(wordAt(p.readRecord(), 0)));
      shutdown(p.server, SHUT_WR);
    });
    int result = -1;
    EXPECT_EQ(p.callInt(&result), c.status);
    if (c.status == RPC_SUCCESS) {
      EXPECT_EQ(result, c.result);
    }
    server.join();
  }
}

TEST(CallPath, AReplyCutShortFailsToDecode) {
  Pair p;
  std::thread server([&] { p.send(reply(wordAt(p.readRecord(), 0), Bytes{0, 0})); });
  int result = 0;
  EXPECT_EQ(p.callInt(&result), RPC_CANTDECODERES);
  server.join();
}

TEST(CallPath, ACallNeverAnsweredFailsAtItsWaitWhileSignalsArrive) {
  struct sigaction handler {};
  handler.sa_handler = [](int) {};
  handler.sa_flags = SA_RESTART;
  struct sigaction saved {};
  sigaction(SIGUSR1, &handler, &saved);
  Pair p;
  std::atomic<bool> calling{true};
  const pthread_t caller = pthread_self();
  // Every 10 ms, for at most three times the wait: a wait started over at each signal would
  // outlast them.
  std::thread ticker([&] {
    for (int i = 0; calling && i < 3 * kWaitMs / 10; ++i) {
      pthread_kill(caller, SIGUSR1);
      std::this_thread::sleep_for(milliseconds(10));
    }
  });
  int result = 0;
  expectFailsAtItsWait([&] { return p.callInt(&result); });
  calling = false;
  ticker.join();
  sigaction(SIGUSR1, &saved, nullptr);
}

TEST(CallPath, AReplyTrickledInCountsFromTheSendNotFromEachRead) {
  Pair p;
  std::atomic<bool> calling{true};
  std::thread server([&] {
    const Bytes whole =
        concat({words({0x80000000u | 28}), reply(wordAt(p.readRecord(), 0), encodeInt(1))});
    for (size_t i = 0; calling && i + 1 < whole.size(); ++i) {
      ::send(p.server, &whole[i], 1, MSG_NOSIGNAL);
      std::this_thread::sleep_for(milliseconds(kWaitMs / 8));
    }
  });
  int result = 0;
  expectFailsAtItsWait([&] { return p.callInt(&result); });
  calling = false;
  server.join();
}

// Opaque bytes of any length.
bool_t xdrLarge(XDR *x, std::string *bytes) {
  char *data = bytes->data();
  u_int size = static_cast<u_int>(bytes->size());
  return xdr_bytes(x, &data, &size, ~0u);
}

TEST(CallPath, ARequestThePeerDoesNotReadFailsAtItsWaitAndTheHandleAfterIt) {
  Pair p;
  std::string large(16 << 20, 'x');
  int result = 0;
  expectFailsAtItsWait([&] {
    return clnt_call(p.clnt, 2, reinterpret_cast<xdrproc_t>(xdrLarge),
                     reinterpret_cast<caddr_t>(&large), reinterpret_cast<xdrproc_t>(xdr_int),
                     reinterpret_cast<caddr_t>(&result), kStubTimeout);
  });
  // Part of the request went out: the connection is out of step, and later calls fail at once.
  EXPECT_EQ(p.callInt(&result), RPC_CANTSEND);
}

TEST(CallPath, AZeroTimeoutSendsTheCallAndWaitsForNoReply) {
  Pair p;
  timeval zero{0, 0};
  ASSERT_TRUE(clnt_control(p.clnt, CLSET_TIMEOUT, reinterpret_cast<char *>(&zero)));
  int result = 0;
  EXPECT_EQ(p.callInt(&result, 1001), RPC_TIMEDOUT);
  EXPECT_EQ(wordAt(p.readRecord(), 20), 1001u) << "the procedure number went out";
}

TEST(CallPath, ControlRequestsOfTheHandleAndThosePassedOn) {
  Pair p;
  uint32_t value = 0;
  auto control = [&](u_int request, void *info) {
    return clnt_control(p.clnt, request, static_cast<char *>(info));
  };
  ASSERT_TRUE(control(CLGET_PROG, &value));
  EXPECT_EQ(value, 0x40000123u);
  ASSERT_TRUE(control(CLGET_VERS, &value));
  EXPECT_EQ(value, 1u);
  value = 0x01020304;
  ASSERT_TRUE(control(CLSET_XID, &value));
  ASSERT_TRUE(control(CLGET_XID, &value));
  EXPECT_EQ(value, 0x01020305u) << "the next call's id, less one, as the RPC layer keeps it";
  value = 0x40000777;
  ASSERT_TRUE(control(CLSET_PROG, &value));
  timeval zero{0, 0};
  ASSERT_TRUE(control(CLSET_TIMEOUT, &zero));
  int result = 0;
  p.callInt(&result);
  const Bytes call = p.readRecord();
  EXPECT_EQ(wordAt(call, 0), 0x01020304u);
  EXPECT_EQ(wordAt(call, 12), 0x40000777u);

  // The descriptor is the RPC layer's client's, passed on: what goes out on it reaches the peer.
  int fd = -1;
  ASSERT_TRUE(control(CLGET_FD, &fd));
  EXPECT_EQ(write(fd, "x", 1), 1);
  EXPECT_EQ(recv(p.server, &value, 1, 0), 1);
}

TEST(CallPath, AHandleWithOtherCredentialsHasItsCallsRefusedUnsent) {
  Pair p;
  AUTH *none = p.clnt->cl_auth;
  p.clnt->cl_auth = authunix_create_default();
  int result = 0;
  EXPECT_EQ(p.callInt(&result), RPC_AUTHERROR);
  auth_destroy(p.clnt->cl_auth);
  p.clnt->cl_auth = none;
  char byte = 0;
  EXPECT_EQ(recv(p.server, &byte, 1, MSG_DONTWAIT), -1) << "nothing was sent";
}

}  // namespace
}  // namespace qel::test
