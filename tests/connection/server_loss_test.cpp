// The management server going away under the library, a reply that never comes, a broken
// connection under a large request, and threads sharing one procedure.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <string>
#include <thread>

#include "server_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kConfigure = 2;
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

TEST_F(ServerLossTest, ReplyThatNeverComesFailsWithinTheHandlesTimeout) {
  // A short total timeout on the handle stands in for the call timeout.
  timeval shortTimeout{0, 200 * 1000};
  ASSERT_TRUE(clnt_control(handle(), CLSET_TIMEOUT, reinterpret_cast<char *>(&shortTimeout)));
  server.answerOnce(kConfigure, Reply::hang());
  server.answer(kConfigure, Reply::integer(0));
  EXPECT_EQ(qelConfigureServer(), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(qelConfigureServer(), RESULT_OK);
  EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST_F(ServerLossTest, LargeRequestOnAConnectionTheServerClosedFailsWithoutSigpipe) {
  // The first write of a request longer than the socket's buffer is answered with a reset; the
  // next write fails with EPIPE, which raises SIGPIPE in the writing thread. Either way the call
  // fails with 2 and the caller's signal mask is as it was.
  for (const bool callerBlocksSigpipe : {false, true}) {
    SCOPED_TRACE(callerBlocksSigpipe ? "SIGPIPE blocked by the caller" : "SIGPIPE not blocked");
    ScriptedServer closing;
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, closing.program()), RESULT_OK);
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
