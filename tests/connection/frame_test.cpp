// The call frame through the server-control operations: replies, missing replies, and what
// happens to the thread's handle.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "protocol/xdr_codec.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kStop = 1, kConfigure = 2, kReboot = 3;

using FrameTest = ServerTest;

struct ControlCase {
  const char *name;
  uint32_t procedure;
  unsigned int (*operation)();
  bool keepsHandle;
};

const ControlCase kControls[] = {
    {"stop", kStop, qelStopServer, false},
    {"configure", kConfigure, qelConfigureServer, true},
    {"reboot", kReboot, qelRebootSP, true},
};

TEST_F(FrameTest, StatusRepliesPassUnchangedAndOnlyStopDropsTheHandle) {
  for (const ControlCase &c : kControls) {
    for (int32_t status : {0, 17, -1, INT32_MIN}) {
      SCOPED_TRACE(std::string(c.name) + " status " + std::to_string(status));
      ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
      server.answer(c.procedure, Reply::integer(status));
      EXPECT_EQ(c.operation(), static_cast<unsigned int>(status));
      EXPECT_EQ(handle() != nullptr, c.keepsHandle);
      const auto received = server.callsOf(c.procedure);
      ASSERT_FALSE(received.empty());
      EXPECT_EQ(received.back().program, server.program());
      EXPECT_EQ(received.back().version, 1u);
      EXPECT_TRUE(received.back().arguments.empty());
    }
  }
}

TEST_F(FrameTest, MissingReplyGivesCallFailedDropsTheHandleAndReconnects) {
  const Reply failures[] = {
      Reply::drop(),
      Reply::integer(5).cutTo(2),  // a reply cut short
      Reply::procUnavail(),
      Reply::garbageArgs(),
  };
  for (const ControlCase &c : kControls) {
    for (const Reply &failure : failures) {
      SCOPED_TRACE(c.name);
      ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
      server.answerOnce(c.procedure, failure);
      EXPECT_EQ(c.operation(), RESULT_CALL_FAILED);
      EXPECT_EQ(handle(), nullptr);
      EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED) << "the handle is dropped exactly once";
      const int failedOn = server.callsOf(c.procedure).back().connection;

      server.answer(kConfigure, Reply::integer(0));
      EXPECT_EQ(qelConfigureServer(), RESULT_OK);
      EXPECT_NE(server.callsOf(kConfigure).back().connection, failedOn)
          << "the next call connects anew";
    }
  }
}

TEST_F(FrameTest, CallThatTimesOutFailsAndTheNextCallReconnects) {
  // A short total timeout on the handle stands in for the 25 seconds.
  const timeval shortTimeout{0, 200 * 1000};
  ASSERT_TRUE(clnt_control(handle(), CLSET_TIMEOUT,
                           reinterpret_cast<char *>(const_cast<timeval *>(&shortTimeout))));
  server.answerOnce(kReboot, Reply::hang());
  EXPECT_EQ(qelRebootSP(), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
  server.answer(kReboot, Reply::integer(0));
  EXPECT_EQ(qelRebootSP(), RESULT_OK);
}

TEST_F(FrameTest, StopLeavesNoHandleAfterSuccess) {
  server.answer(kStop, Reply::integer(0));
  EXPECT_EQ(qelStopServer(), RESULT_OK);
  EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
  EXPECT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(5)));
}

TEST_F(FrameTest, ServerThatClosesInsteadOfAnsweringFailsEveryCall) {
  // The server closes the connection instead of answering: every call fails with 2 and the
  // next one connects anew.
  server.answer(kConfigure, Reply::drop());
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(qelConfigureServer(), RESULT_CALL_FAILED);
  }
}

TEST_F(FrameTest, LargeRequestOnAConnectionTheServerClosedFailsWithoutSigpipe) {
  // The server closes the connection between two calls. The first write of a request longer
  // than the handle's send buffer still goes out and is answered with a reset; the next write
  // then fails with EPIPE, which raises SIGPIPE in the writing thread. Whether the caller blocks
  // SIGPIPE itself or not, the call fails with 2 and the caller's signal mask is as it was.
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
    char *report = nullptr;
    EXPECT_EQ(qelSysGetESValuesForComponentXML(component.c_str(), &report), RESULT_CALL_FAILED);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(handle(), nullptr);
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGPIPE), callerBlocksSigpipe ? 1 : 0);

    // A SIGPIPE the caller held back itself stays for the caller; take it so the next case
    // starts clean.
    const timespec zero{0, 0};
    sigtimedwait(&pipe, nullptr, &zero);
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  }
  qelDisconnect();
  EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
}

TEST_F(FrameTest, ThreadsCallingTheSameStubGetTheirOwnReplies) {
  // The server echoes each call's component name; concurrent calls of one procedure must each
  // read their own text, never another thread's.
  constexpr uint32_t kComponentXml = 2004;
  server.answerWith(kComponentXml, [](const ReceivedCall &call) {
    Decoded<char *> name = decode(xdrText, call.arguments);
    rpc_StringAndEC echo{0, name.value};
    return Reply::record(xdr_rpc_StringAndEC, echo);
  });
  constexpr int kThreads = 4, kCalls = 150;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      if (qelConnect(nullptr, 0) != RESULT_OK) {
        ++mismatches;
        return;
      }
      CLIENT *own = handle();
      for (int i = 0; i < kCalls; ++i) {
        std::string mine = "thread-" + std::to_string(t) + "-call-" + std::to_string(i);
        char *argument = mine.data();
        rpc_StringAndEC *reply = sysgetsensorvaluesforcomponentxml_1(&argument, own);
        if (reply == nullptr || reply->text == nullptr || mine != reply->text) ++mismatches;
        if (reply != nullptr) {
          clnt_freeres(own, reinterpret_cast<xdrproc_t>(xdr_rpc_StringAndEC),
                       reinterpret_cast<caddr_t>(reply));
        }
      }
      qelDisconnect();
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace qel::test
