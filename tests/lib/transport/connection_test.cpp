// SPDX-License-Identifier: Apache-2.0
// The per-thread connection under real conditions: results, the remembered program, the
// QELPROGID override, the life of a thread's handle; then the management server going away
// under the library, a broken connection under a large request, and threads sharing one
// procedure.
#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "server_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kConfigure = 2;

class ConnectionTest : public ServerTest {
 protected:
  void SetUp() override {
    unsetenv("QELPROGID");
    ServerTest::SetUp();
    server.answer(kConfigure, Reply::integer(0));
  }
  void TearDown() override {
    ServerTest::TearDown();
    unsetenv("QELPROGID");
  }
};

// The configure call made on a new thread of its own.
unsigned int configureOnNewThread() {
  unsigned int rc = 99;
  std::thread([&] {
    rc = qelConfigureServer();
    qelDisconnect();
  }).join();
  return rc;
}

TEST_F(ConnectionTest, DisconnectGivesZeroThenNotConnectedAndCloses) {
  EXPECT_NE(handle(), nullptr);
  EXPECT_EQ(qelDisconnect(), RESULT_OK);
  EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
  EXPECT_EQ(qelDisconnectConnection(nullptr), RESULT_NOT_CONNECTED);
  EXPECT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(5)));
}

TEST_F(ConnectionTest, ConnectOnAThreadWithAHandleChangesNothing) {
  EXPECT_EQ(qelConnect("no-such-host.invalid", 7), RESULT_OK);
  qelDisconnect();
  // Had the call above been remembered, this would go to host "no-such-host.invalid".
  EXPECT_EQ(qelConfigureServer(), RESULT_OK);
  EXPECT_EQ(server.callsOf(kConfigure).size(), 1u);
}

TEST_F(ConnectionTest, ProgramNumberZeroReadsQelprogid) {
  const std::string decimal = std::to_string(server.program());
  char hex[32];
  snprintf(hex, sizeof hex, "0x%X", server.program());
  struct Case {
    std::string value;  // "" leaves the variable unset
    bool reachesServer;
    unsigned long program = 0;  // given to qelConnect
  };
  const Case cases[] = {
      {decimal, true},
      {"  +" + decimal, true},
      {hex, false},  // hexadecimal reads as 0
      {"abc", false},
      {"", true},                                              // unset keeps the remembered number
      {"", true, static_cast<unsigned long>(0x100000000ULL)},  // only the low 32 bits count
  };
  for (const auto &[value, reachesServer, program] : cases) {
    SCOPED_TRACE(value);
    // Remember the server's program, then connect with 0 under the case's environment.
    qelDisconnect();
    unsetenv("QELPROGID");
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    qelDisconnect();
    if (!value.empty()) setenv("QELPROGID", value.c_str(), 1);
    EXPECT_EQ(qelConnect(nullptr, program), reachesServer ? RESULT_OK : RESULT_NOT_REGISTERED);
  }
}

TEST_F(ConnectionTest, ProgramFromEnvironmentIsRememberedForLaterThreads) {
  ScriptedServer other;
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, other.program()), RESULT_OK);
  qelDisconnect();
  // The environment wins over the remembered number, and is remembered itself.
  setenv("QELPROGID", std::to_string(server.program()).c_str(), 1);
  EXPECT_EQ(configureOnNewThread(), RESULT_OK);
  unsetenv("QELPROGID");
  EXPECT_EQ(configureOnNewThread(), RESULT_OK);
  EXPECT_EQ(server.callsOf(kConfigure).size(), 2u);
  EXPECT_EQ(other.callCount(), 0u);
}

TEST_F(ConnectionTest, EndingThreadClosesItsConnection) {
  qelDisconnect();
  ASSERT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(5)));
  // The thread ends without disconnecting: its handle's destructor must close the connection.
  std::thread([] { EXPECT_EQ(qelConfigureServer(), RESULT_OK); }).join();
  EXPECT_EQ(server.connectionsAccepted(), 2);
  EXPECT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(5)))
      << "the thread's handle outlived the thread";
}

TEST_F(ConnectionTest, HandleSocketIsCloseOnExec) {
  int fd = -1;
  ASSERT_TRUE(clnt_control(handle(), CLGET_FD, reinterpret_cast<char *>(&fd)));
  EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
}

TEST(HostConnectionLock, KeepsErrnoAcrossLockAndUnlock) {
  errno = EHOSTDOWN;
  lockSharedRPCConnectionMutex();
  EXPECT_EQ(errno, EHOSTDOWN);
  errno = ECONNREFUSED;
  unlockSharedRPCConnectionMutex();
  EXPECT_EQ(errno, ECONNREFUSED);
}

using ServerLossTest = ServerTest;

TEST_F(ServerLossTest, ServerKilledDuringACallFailsItAndTheNextCallReachesItOnceBack) {
  auto first = std::make_unique<ScriptedServer>();
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, first->program()), RESULT_OK);
  first->answerWith(kConfigure, [&](const ReceivedCall &) {
    first->shutDown();
    return Reply::hang();
  });
  EXPECT_EQ(qelConfigureServer(), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(qelConfigureServer(), RESULT_NOT_REGISTERED) << "while it is down";

  ScriptedServer back(first->program());
  ASSERT_NE(back.port(), first->port());
  back.answer(kConfigure, Reply::integer(0));
  EXPECT_EQ(qelConfigureServer(), RESULT_OK);
  EXPECT_EQ(back.connectionsAccepted(), 1);
  EXPECT_EQ(first->callCount(), 1u);
}

TEST_F(ServerLossTest, LargeRequestOnAConnectionTheServerClosedFailsWithoutSigpipe) {
  // The first write of a request longer than the socket's buffer is answered with a reset; the
  // next write fails with EPIPE, which raises SIGPIPE in the writing thread. Either way the call
  // fails with 2 and the caller's signal mask is as it was; also on a handle the host made with
  // the RPC layer and stored itself, which writes the RPC layer's way.
  for (int c = 0; c < 4; ++c) {
    const bool callerBlocksSigpipe = c & 1, hostHandle = c & 2;
    SCOPED_TRACE(std::string(callerBlocksSigpipe ? "SIGPIPE blocked" : "SIGPIPE not blocked") +
                 (hostHandle ? ", the host's handle" : ""));
    ScriptedServer closing;
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, closing.program()), RESULT_OK);
    if (hostHandle) {
      qelDisconnect();
      CLIENT *own = clnt_create("127.0.0.1", closing.program(), 1, "tcp");
      ASSERT_NE(own, nullptr);
      ASSERT_EQ(pthread_setspecific(qel_tsd_key, own), 0);
    }
    closing.answer(kConfigure, Reply::integer(0));
    ASSERT_EQ(qelConfigureServer(), RESULT_OK);
    closing.shutDown();
    ASSERT_TRUE(closing.waitForOpenConnections(0, std::chrono::seconds(5)));

    sigset_t pipe, after;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(callerBlocksSigpipe ? SIG_BLOCK : SIG_UNBLOCK, &pipe, nullptr);
    const std::string component(std::size_t{1} << 20, 'c');
    EXPECT_EQ(qelSysGetESValuesForComponentXML(component.c_str(), nullptr), RESULT_CALL_FAILED);
    EXPECT_EQ(handle(), nullptr);
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGPIPE), callerBlocksSigpipe ? 1 : 0);
    // A SIGPIPE held back by the caller stays for the caller; take it for the next case.
    const timespec zero{0, 0};
    sigtimedwait(&pipe, nullptr, &zero);
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  }
}

TEST_F(ServerLossTest, ThreadsCallingTheSameProcedureGetTheirOwnReplies) {
  // The server echoes each call's component name back as the report.
  server.answerWith(2004, [](const ReceivedCall &call) {
    return Reply::body(concat({words({0}), call.arguments}));
  });
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 150; ++i) {
        const std::string mine = "thread-" + std::to_string(t) + "-call-" + std::to_string(i);
        char *report = nullptr;
        if (qelSysGetSensorValuesForComponentXML(mine.c_str(), &report) != RESULT_OK ||
            report == nullptr || mine != report) {
          ++mismatches;
        }
        free(report);
      }
      qelDisconnect();
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace qel::test
