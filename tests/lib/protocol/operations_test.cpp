// SPDX-License-Identifier: Apache-2.0
// Every remote operation of the catalogue through the call frame: what reaches the server, how
// each reply becomes a result, what a missing, cut or oversized reply does, and what a failed
// connection does.
#include "operations.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server_test.hpp"

namespace qel::test {
namespace {

using C = Convention;

class OperationsTest : public ServerTest {
 protected:
  static unsigned int missingReplyResult(const Operation &op) {
    return op.convention == C::kQuietStatus ? 0 : RESULT_CALL_FAILED;
  }
  // A reply that fails the call: result, untouched outputs, no handle.
  void expectFailedCall(const Operation &op, const Reply &reply) {
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    script(server, op, reply, true);
    Outputs out;
    EXPECT_EQ(op.call(out), missingReplyResult(op));
    EXPECT_TRUE(out.untouched());
    EXPECT_EQ(handle(), nullptr);
  }
};

TEST_F(OperationsTest, GoodReplyReachesTheOutputsAndTheRequestIsExact) {
  for (const Operation &op : operations()) {
    SCOPED_TRACE(op.name);
    qelDisconnect();  // a fresh handle: the reset leaves its own timeout on the last one
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.clearLog();
    script(server, op, Reply::body(op.reply(0)));
    Outputs out;
    EXPECT_EQ(op.call(out), 0u);
    EXPECT_TRUE(out.asExpected());
    // The handle's timeout is the one its last call was given: 25 s; 180 s for the reset.
    timeval timeout{};
    if (handle() != nullptr)
      clnt_control(handle(), CLGET_TIMEOUT, reinterpret_cast<char *>(&timeout));
    EXPECT_EQ(timeout.tv_sec, op.convention == C::kStop       ? 0
                              : op.procedures.back() == 1029u ? 180
                                                              : 25);
    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), op.procedures.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].procedure, op.procedures[i]);
      EXPECT_EQ(calls[i].program, server.program());
      EXPECT_EQ(calls[i].version, 1u);
    }
    EXPECT_EQ(calls.back().arguments, op.request);
    EXPECT_EQ(handle() == nullptr, op.convention == C::kStop);
  }
}

TEST_F(OperationsTest, ServerCodesPassUnchangedAndTheHandleStays) {
  for (const Operation &op : operations()) {
    if (op.convention == C::kText) continue;  // a bare text carries no code
    SCOPED_TRACE(op.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    script(server, op, Reply::body(op.reply(17)));
    Outputs out;
    EXPECT_EQ(op.call(out), op.convention == C::kZeroRejected ? 4u : 17u);
    switch (op.convention) {
      case C::kSignedZeroOnError:
        EXPECT_EQ(out.firstInt(), 0);
        break;
      case C::kZeroRejected:
        EXPECT_EQ(out.firstInt(), 0) << "the value is stored whatever it is";
        break;
      case C::kRecordAlwaysCopied:
        EXPECT_TRUE(out.asExpected());
        break;
      default:
        EXPECT_TRUE(out.untouched());
    }
    EXPECT_EQ(handle() == nullptr, op.convention == C::kStop);
  }
}

TEST_F(OperationsTest, MissingCutOrOversizedReplyFailsTheCallAndTheNextCallReconnects) {
  for (const Operation &op : operations()) {
    SCOPED_TRACE(op.name);
    const Reply whole = Reply::body(op.reply(0));
    std::vector<Reply> failures = {Reply::drop(), Reply::procUnavail()};
    for (std::size_t keep = 0; keep < whole.bytes.size(); ++keep) {
      failures.push_back(whole.cutTo(keep));
    }
    for (const Bytes &oversized : op.oversized) failures.push_back(Reply::body(oversized));
    for (const Reply &failure : failures) {
      SCOPED_TRACE("failure " + std::to_string(&failure - failures.data()));
      expectFailedCall(op, failure);
      EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
    }
    const int failedOn = server.calls().back().connection;
    script(server, op, whole);
    Outputs out;
    EXPECT_EQ(op.call(out), 0u);
    EXPECT_NE(server.calls().back().connection, failedOn) << "the next call connects anew";
  }
}

// A program registered on a port where nothing listens: the connection is refused.
struct RefusingProgram {
  RefusingProgram() {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr *>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    registered = pmap_set(program, 1, IPPROTO_TCP, ntohs(address.sin_port));
  }
  ~RefusingProgram() {
    if (registered) pmap_unset(program, 1);
    close(fd);
  }
  uint32_t program = freeProgram();
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool registered = false;
};

TEST_F(OperationsTest, FailedConnectionReturnsItsCodeAndWritesNothing) {
  unsetenv("QELPROGID");
  RefusingProgram refusing;
  ASSERT_TRUE(refusing.registered);
  const std::pair<uint32_t, unsigned int> failures[] = {
      {freeProgram(), RESULT_NOT_REGISTERED}, {refusing.program, RESULT_CONNECTION_REFUSED}};
  for (const auto &[program, code] : failures) {
    for (const Operation &op : operations()) {
      SCOPED_TRACE(std::string(op.name) + " code " + std::to_string(code));
      qelDisconnect();
      ASSERT_EQ(qelConnect(nullptr, program), code);
      Outputs out;
      const unsigned int expected = op.convention == C::kQuietStatus ? 0
                                    : op.convention == C::kText      ? RESULT_CALL_FAILED
                                                                     : code;
      EXPECT_EQ(op.call(out), expected);
      EXPECT_TRUE(out.untouched());
      EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
    }
  }
  EXPECT_EQ(server.callCount(), 0u);
}

// Arguments the library checks, replaces or cannot encode. kNoCall: nothing reaches the server.
const Bytes kNoCall = {0xFF};
struct ArgumentCase {
  const char *name;
  uint32_t procedure;
  unsigned int (*call)();
  unsigned int result;
  Bytes request;
};

TEST_F(OperationsTest, ArgumentsAreCheckedReplacedOrFailTheCall) {
  static char **list;
  static unsigned int count;
  const ArgumentCase cases[] = {
      {"null action text is sent empty", 1002,
       [] { return qelPlatformSetAction(1, 255, 3, nullptr); }, 0, words({1, 255, 3, 0})},
      {"null component of the ES values is sent empty", 2010,
       [] { return qelSysGetESValuesForComponentXML(nullptr, nullptr); }, 0, words({0})},
      {"null hostname is sent empty", 1025, [] { return qelSetHostname(42, nullptr); }, 0,
       words({42, 0})},
      {"null console outputs are not written", 2011,
       [] { return qelSysGetConsoleConfig(nullptr, nullptr, nullptr, nullptr, nullptr); }, 0,
       Bytes{}},
      {"null shutdown reason output", 1015, [] { return qelPlatformGetShutdownReason(nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"null type output", 1014, [] { return qelPlatformGetType("board", nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"null presence component", 2014, [] { return qelSysGetPresenceDetect(nullptr, nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"empty presence component", 2014, [] { return qelSysGetPresenceDetect("", nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"null reset selector", 1029, [] { return qelResetToDefaultSettings(nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"sensor list without a count", 1501, [] { return qelGetSensorList(0, 0, nullptr, &list); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"sensor list without a list", 1501, [] { return qelGetSensorList(0, 0, &count, nullptr); },
       RESULT_INVALID_ARGUMENT, kNoCall},
      {"null machine check text", 1013,
       [] { return qelPlatformMachineCheckEvent(1, 2, 3, nullptr); }, RESULT_CALL_FAILED, kNoCall},
      {"null dimm text", 1016, [] { return qelPlatformLogDimmError(1, 2, 3, 4, nullptr); },
       RESULT_CALL_FAILED, kNoCall},
      {"null type key", 1014,
       [] {
         int type;
         return qelPlatformGetType(nullptr, &type);
       },
       RESULT_CALL_FAILED, kNoCall},
      {"null date", 1028, [] { return qelSetDate(nullptr); }, RESULT_CALL_FAILED, kNoCall},
      {"null report component", 2004,
       [] { return qelSysGetSensorValuesForComponentXML(nullptr, nullptr); }, RESULT_CALL_FAILED,
       kNoCall},
      {"null status component", 2008, [] { return qelSysGetComponentStatus(nullptr, nullptr); },
       RESULT_CALL_FAILED, kNoCall},
      {"null sensor", 2006, [] { return qelSysGetSensorValue(nullptr, nullptr); },
       RESULT_CALL_FAILED, kNoCall},
  };
  for (const ArgumentCase &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.clearLog();
    server.answer(c.procedure, Reply::body(Bytes(36, 0)));  // zeros: a good reply of any kind
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(handle() == nullptr, c.result == RESULT_CALL_FAILED);
    if (c.result == RESULT_CALL_FAILED) continue;  // a request that cannot be encoded
    if (c.request == kNoCall) {
      EXPECT_EQ(server.callCount(), 0u);
    } else {
      ASSERT_EQ(server.callCount(), 1u);
      EXPECT_EQ(server.calls()[0].arguments, c.request);
    }
  }
}

TEST_F(OperationsTest, MultiMegabyteTextsTravelBothWays) {
  std::string big(8u << 20, 'a');
  big.back() = 'Z';
  server.answer(2002, Reply::body(concat({words({0}), xdrString(big)})));
  char *report = nullptr;
  ASSERT_EQ(qelSysGetSensorValuesXML(&report), RESULT_OK);
  EXPECT_TRUE(report != nullptr && big == report);
  std::free(report);
  server.answer(2005, Reply::body(concat({words({0}), xdrString("ok")})));
  ASSERT_EQ(qelSysGetSensorValuesForComponentASCII(big.c_str(), nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(2005).back().arguments, xdrString(big));
}

}  // namespace
}  // namespace qel::test
