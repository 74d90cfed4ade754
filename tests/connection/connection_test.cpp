// The per-thread connection under real conditions: results, remembered host and program,
// the QELPROGID override, and the life of a thread's handle.
#include <fcntl.h>

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

TEST_F(ConnectionTest, RememberedHostAndProgramHoldForEveryThread) {
  qelDisconnect();
  static const char kHost[] = "127.0.0.1";
  ASSERT_EQ(qelConnect(kHost, server.program()), RESULT_OK);
  EXPECT_EQ(configureOnNewThread(), RESULT_OK);
  EXPECT_EQ(server.callsOf(kConfigure).size(), 1u);
}

TEST_F(ConnectionTest, ProgramNumberZeroReadsQelprogid) {
  const std::string decimal = std::to_string(server.program());
  char hex[32];
  snprintf(hex, sizeof hex, "0x%X", server.program());
  const std::pair<std::string, bool> cases[] = {
      {decimal, true}, {"  +" + decimal, true},
      {hex, false},                 // hexadecimal reads as 0
      {"abc", false},  {"", true},  // unset keeps the remembered number
  };
  for (const auto &[value, reachesServer] : cases) {
    SCOPED_TRACE(value);
    // Remember the server's program, then connect with 0 under the case's environment.
    qelDisconnect();
    unsetenv("QELPROGID");
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    qelDisconnect();
    if (!value.empty()) setenv("QELPROGID", value.c_str(), 1);
    EXPECT_EQ(qelConnect(nullptr, 0), reachesServer ? RESULT_OK : RESULT_NOT_REGISTERED);
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

}  // namespace
}  // namespace qel::test
