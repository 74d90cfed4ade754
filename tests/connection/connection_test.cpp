// The per-thread connection under real conditions: results, remembered host and program,
// the QELPROGID override, and the life of a thread's handle.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "server_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kConfigure = 2;

// Restores QELPROGID as it was when the test started.
class EnvironmentGuard {
 public:
  EnvironmentGuard() {
    if (const char *v = std::getenv("QELPROGID")) saved_ = v;
  }
  ~EnvironmentGuard() {
    if (saved_.empty()) {
      unsetenv("QELPROGID");
    } else {
      setenv("QELPROGID", saved_.c_str(), 1);
    }
  }

 private:
  std::string saved_;
};

class ConnectionTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    server.answer(kConfigure, Reply::integer(0));
  }
  EnvironmentGuard environment;
};

TEST_F(ConnectionTest, DisconnectGivesZeroThenNotConnected) {
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

TEST_F(ConnectionTest, UnregisteredProgramGivesNotRegisteredAndWritesNothing) {
  ScriptedServer other;  // a number known to be free once `other` is gone
  const uint32_t unregistered = other.program();
  other.shutDown();
  qelDisconnect();
  EXPECT_EQ(qelConnect(nullptr, unregistered), RESULT_NOT_REGISTERED);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(qelConfigureServer(), RESULT_NOT_REGISTERED);
  EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
  ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
}

TEST_F(ConnectionTest, RememberedHostAndProgramHoldForEveryThread) {
  qelDisconnect();
  static const char kHost[] = "127.0.0.1";
  ASSERT_EQ(qelConnect(kHost, server.program()), RESULT_OK);
  unsigned int fromOtherThread = 99;
  std::thread([&] {
    fromOtherThread = qelConfigureServer();
    qelDisconnect();
  }).join();
  EXPECT_EQ(fromOtherThread, RESULT_OK);
  EXPECT_EQ(server.callsOf(kConfigure).size(), 1u);
  static const char kLocal[] = "localhost";
  qelDisconnect();
  ASSERT_EQ(qelConnect(kLocal, 0), RESULT_OK);
}

struct ProgIdCase {
  const char *name;
  std::string value;  // "" leaves the variable unset
  bool reachesServer;
  unsigned long program = 0;  // the number given to qelConnect
};

TEST_F(ConnectionTest, ProgramNumberZeroReadsQelprogid) {
  const std::string decimal = std::to_string(server.program());
  char hex[32];
  snprintf(hex, sizeof hex, "0x%X", server.program());
  const ProgIdCase cases[] = {
      {"decimal", decimal, true},
      {"leading blanks and sign", "  +" + decimal, true},
      {"hexadecimal reads as 0", hex, false},
      {"not a number reads as 0", "abc", false},
      {"unset keeps the remembered number", "", true},
      {"only the low 32 bits count", "", true, static_cast<unsigned long>(0x100000000ULL)},
  };
  for (const ProgIdCase &c : cases) {
    SCOPED_TRACE(c.name);
    // Remember the server's program, then connect with 0 under the case's environment.
    qelDisconnect();
    unsetenv("QELPROGID");
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    qelDisconnect();
    if (!c.value.empty()) setenv("QELPROGID", c.value.c_str(), 1);
    const unsigned int rc = qelConnect(nullptr, c.program);
    EXPECT_EQ(rc, c.reachesServer ? RESULT_OK : RESULT_NOT_REGISTERED);
  }
}

TEST_F(ConnectionTest, ProgramFromEnvironmentIsRememberedForLaterThreads) {
  ScriptedServer other;
  other.answer(kConfigure, Reply::integer(0));
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, other.program()), RESULT_OK);
  qelDisconnect();
  const auto configureOnNewThread = [] {
    unsigned int rc = 99;
    std::thread([&] {
      rc = qelConfigureServer();
      qelDisconnect();
    }).join();
    return rc;
  };
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
