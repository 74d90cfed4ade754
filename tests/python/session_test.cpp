// SPDX-License-Identifier: Apache-2.0
// The Python package's sessions (python/native/session.c) against scripted servers: a call goes
// to its own session's target whatever the thread's slot holds, and leaves the slot as it was;
// a failed creation, the wait running out and an abort (from another thread, by close, by
// SIGINT) each end a call with their outcome, at once; a forked child never uses its parent's
// connection.
#include "python/native/session.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <qel.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "scripted_server.hpp"

namespace qel::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kGetState = 1001;

class Session {
 public:
  Session(uint32_t program, long long waitMicroseconds, int interruptible)
      : target_(qelpy_target_new("localhost", program)),
        session_(qelpy_session_new(target_, waitMicroseconds, interruptible)) {}
  ~Session() {
    qelpy_session_free(session_);
    qelpy_target_free(target_);
  }
  operator qelpy_session *() const { return session_; }

  // qelPlatformGetState on the session: its result, the state in *state.
  unsigned getState(int *state) const {
    if (!qelpy_enter(session_)) return qelpy_result(session_);
    const unsigned result = qelPlatformGetState(state);
    qelpy_leave(session_, result);
    return result;
  }

 private:
  qelpy_target *target_;
  qelpy_session *session_;
};

int interpreterHandlerRuns = 0;
void interpreterHandler(int) { ++interpreterHandlerRuns; }

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a.answer(kGetState, Reply::integer(1));
    b.answer(kGetState, Reply::integer(2));
  }
  ScriptedServer a, b;
  int state = 0;
};

TEST_F(SessionTest, CallsGoToTheSessionsTargetAndLeaveTheSlotAsItWas) {
  ASSERT_EQ(qelConnect("localhost", a.program()), RESULT_OK);
  void *own = pthread_getspecific(qel_tsd_key);
  const Session toB(b.program(), -1, 0);
  EXPECT_EQ(toB.getState(&state), RESULT_OK);
  EXPECT_EQ(state, 2);
  EXPECT_EQ(pthread_getspecific(qel_tsd_key), own);
  EXPECT_EQ(qelPlatformGetState(&state), RESULT_OK);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(qelpy_disconnect(toB), 1);
  EXPECT_EQ(qelpy_disconnect(toB), 0);
  qelDisconnect();
}

TEST_F(SessionTest, AFailedCreationSaysSoAndLeavesTheSlotEmpty) {
  const Session nowhere(freeProgram(), -1, 0);
  EXPECT_EQ(nowhere.getState(&state), RESULT_NOT_REGISTERED);
  EXPECT_EQ(qelpy_outcome(nowhere), QELPY_AT_CREATION);
  EXPECT_EQ(pthread_getspecific(qel_tsd_key), nullptr);
}

struct Ending {
  const char *name;
  long long wait;                            // microseconds
  std::function<void(qelpy_session *)> end;  // 100 ms into the call, on another thread
  int outcome;
  bool closes;
};

TEST_F(SessionTest, AHungCallEndsByItsWaitOrAnAbortAtOnce) {
  struct sigaction interpreter {};
  interpreter.sa_handler = interpreterHandler;
  ASSERT_EQ(sigaction(SIGINT, &interpreter, nullptr), 0);
  ASSERT_EQ(qelpy_watch_sigint(1), 1);
  const Ending endings[] = {
      {"wait", 200000, nullptr, QELPY_TIMED_OUT, false},
      {"abort", -1, qelpy_abort, QELPY_ABORTED, false},
      {"close", -1, qelpy_close, QELPY_ABORTED, true},
      {"SIGINT", -1, [](qelpy_session *) { kill(getpid(), SIGINT); }, QELPY_ABORTED, false},
  };
  for (const Ending &ending : endings) {
    SCOPED_TRACE(ending.name);
    const Session toB(b.program(), ending.wait, 1);
    ASSERT_EQ(toB.getState(&state), RESULT_OK);
    b.answer(kGetState, Reply::hang());
    std::thread ender([&] {
      std::this_thread::sleep_for(milliseconds(100));
      if (ending.end) ending.end(toB);
    });
    const auto start = Clock::now();
    EXPECT_EQ(toB.getState(&state), RESULT_CALL_FAILED);
    EXPECT_LT(Clock::now() - start, milliseconds(500));
    ender.join();
    EXPECT_EQ(qelpy_outcome(toB), ending.outcome);
    b.answer(kGetState, Reply::integer(2));
    EXPECT_EQ(toB.getState(&state), ending.closes ? RESULT_CALL_FAILED : RESULT_OK);
    EXPECT_EQ(qelpy_outcome(toB), ending.closes ? QELPY_CLOSED : 0);
  }
  EXPECT_EQ(interpreterHandlerRuns, 1);
  EXPECT_EQ(qelpy_watch_sigint(0), 0);
  signal(SIGINT, SIG_DFL);
}

TEST_F(SessionTest, AForkedChildConnectsAnewAndTheParentKeepsItsConnection) {
  const Session toA(a.program(), -1, 0);
  ASSERT_EQ(toA.getState(&state), RESULT_OK);
  const pid_t child = fork();
  if (child == 0) _exit(toA.getState(&state) == RESULT_OK && state == 1 ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(toA.getState(&state), RESULT_OK);
  const std::vector<ReceivedCall> calls = a.callsOf(kGetState);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].connection, calls[2].connection);
  EXPECT_NE(calls[1].connection, calls[0].connection);
}

}  // namespace
}  // namespace qel::test
