// SPDX-License-Identifier: Apache-2.0
// What a host that runs for months meets: the port mapper restarting under it, and fork.
#include <arpa/inet.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "child_process.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kConfigure = 2;
constexpr uint32_t kSetPowerLevel = 1005;

// Outcomes of the port mapper scenario, run in a process of its own.
enum Outcome { kSurvived, kFirstCall, kNotRefused, kNotBack, kDied, kNoSetUp = 150 };

// Waits (bounded) until the loopback port mapper port accepts connections, or refuses them.
bool portMapperAnswers(bool up) {
  for (int attempt = 0; attempt < 1000; ++attempt, usleep(2000)) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(111);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool answered = connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    close(s);
    if (answered == up) return true;
  }
  return false;
}

// rpcbind in warm-start mode (a restart keeps the registrations); -1 when it did not start.
pid_t startPortMapper() {
  char *argv[] = {const_cast<char *>("rpcbind"), const_cast<char *>("-w"), const_cast<char *>("-f"),
                  nullptr};
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, "/usr/sbin/rpcbind", nullptr, nullptr, argv, environ) == 0;
  return started && portMapperAnswers(true) ? pid : -1;
}
void stopPortMapper(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Connects, calls and disconnects while the port mapper is stopped and started three times.
int portMapperRestarts() {
  pid_t portMapper = -1;
  if (!isolate() || (portMapper = startPortMapper()) < 0) return kNoSetUp;
  ScriptedServer server;
  server.answer(kConfigure, Reply::integer(0));
  for (int round = 0; round < 3; ++round) {
    if (qelConnect(nullptr, server.program()) != 0 || qelConfigureServer() != 0) return kFirstCall;
    qelDisconnect();
    stopPortMapper(portMapper);
    if (qelConfigureServer() != 12) return kNotRefused;
    if ((portMapper = startPortMapper()) < 0) return kNoSetUp;
    if (qelConfigureServer() != 0) return kNotBack;
    qelDisconnect();
  }
  stopPortMapper(portMapper);
  return kSurvived;
}

TEST(PortMapperRestart, ConnectionsAreRefusedWhileItIsDownAndWorkOnceItIsBack) {
#if QEL_RESTART_ABORTS_IN_LIBTIRPC
  GTEST_SKIP() << "clients come from clnt_create, which this libtirpc (before 1.3.4) aborts in "
                  "when the port mapper restarts";
#endif
  if (access("/usr/sbin/rpcbind", X_OK) != 0) GTEST_SKIP() << "rpcbind is not installed";
  // In a process of its own: an abort there is an outcome, not the end of the test.
  const pid_t child = fork();
  if (child == 0) _exit(portMapperRestarts());
  int status = 0;
  waitpid(child, &status, 0);
  const int outcome = WIFEXITED(status) ? WEXITSTATUS(status) : kDied;
  if (outcome == kNoSetUp) {
    GTEST_SKIP() << "a private network, /run and port mapper cannot be set up here";
  }
  EXPECT_EQ(outcome, kSurvived) << "1 first call failed, 2 not refused while down, "
                                   "3 no connection once back, 4 the process died";
}

TEST(Fork, ChildConnectsAnewAndTheParentKeepsItsConnection) {
  ScriptedServer server;
  server.answerWith(kSetPowerLevel, [](const ReceivedCall &call) {
    return Reply::integer(decode(xdr_int, call.arguments).value);
  });
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  ASSERT_EQ(qelPlatformSetPowerLevel(1), 1u);
  // Each process sends values of its own, and each reply echoes its request's value.
  auto echoed = [](int first) {
    for (int value = first; value < first + 2000; ++value) {
      if (qelPlatformSetPowerLevel(value) != static_cast<unsigned int>(value)) return false;
    }
    return true;
  };
  const pid_t child = fork();
  if (child == 0) _exit(echoed(100000) && qelDisconnect() == RESULT_OK ? 0 : 1);
  EXPECT_TRUE(echoed(2)) << "the parent got a reply that was not its own";
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's calls failed";

  const std::vector<ReceivedCall> calls = server.callsOf(kSetPowerLevel);
  ASSERT_EQ(calls.size(), 4001u);
  const int parentConnection = calls.front().connection;
  for (const ReceivedCall &call : calls) {
    const bool fromChild = decode(xdr_int, call.arguments).value >= 100000;
    ASSERT_EQ(call.connection != parentConnection, fromChild)
        << "a request on the wrong connection";
  }
  EXPECT_EQ(server.connectionsAccepted(), 2);
  qelDisconnect();
}

// One thread's call waits on a server that never answers; meanwhile the process forks and a
// third thread goes on making quick calls. Neither the fork nor those calls wait for the first.
TEST(Fork, NeitherForkNorOtherThreadsWaitForACallInProgress) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  ScriptedServer server;
  server.answer(kConfigure, Reply::hang());
  server.answer(kSetPowerLevel, Reply::integer(0));
  std::thread hung([&] {
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    timeval wait{3, 0};
    clnt_control(handle(), CLSET_TIMEOUT, reinterpret_cast<char *>(&wait));
    EXPECT_EQ(qelConfigureServer(), RESULT_CALL_FAILED);
  });
  ASSERT_TRUE(eventually([&] { return !server.callsOf(kConfigure).empty(); }));

  std::atomic<bool> forked{false};
  Clock::duration longestCall{};
  std::thread quick([&] {
    EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    for (int value = 1; !forked || value < 200; ++value) {
      const auto start = Clock::now();
      EXPECT_EQ(qelPlatformSetPowerLevel(value), 0u);
      longestCall = std::max(longestCall, Clock::now() - start);
    }
  });
  std::this_thread::sleep_for(milliseconds(50));
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child == 0) _exit(0);
  const auto forkTook = Clock::now() - start;
  forked = true;
  quick.join();
  waitpid(child, nullptr, 0);
  EXPECT_LT(forkTook, milliseconds(500));
  EXPECT_LT(longestCall, milliseconds(500));
  hung.join();
}

}  // namespace
}  // namespace qel::test
