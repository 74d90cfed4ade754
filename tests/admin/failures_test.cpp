// Every administration operation when the call gets no reply and when no server can be
// reached: the agreed failure value, no output written, and the handle dropped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using AdminFailureTest = ServerTest;

// Runs one operation and describes what it returned, mentioning any output it wrote.
using Run = std::function<std::string()>;

std::string resultOf(unsigned int result) { return std::to_string(result); }

std::string readConsole() {
  int v1 = 1, v2 = 2, v3 = 3, v4 = 4;
  unsigned long v5 = 5;
  const unsigned int result = qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5);
  const bool untouched = v1 == 1 && v2 == 2 && v3 == 3 && v4 == 4 && v5 == 5;
  return resultOf(result) + (untouched ? "" : " with outputs written");
}

std::string readPbm() {
  char before[] = "before";
  char *text = before;
  const unsigned int result = qelGetPBMString(1, &text);
  if (text == before) return resultOf(result);
  free(text);
  return resultOf(result) + " with a text";
}

std::string readInternalState() {
  char *state = qelInternalState();
  free(state);
  return state == nullptr ? "null" : "a text";
}

struct OperationCase {
  const char *name;
  uint32_t procedure;
  Run run;
  const char *onCallFailure;
  const char *onNoServer;
};

const OperationCase kOperations[] = {
    {"console read", proc::GetConsoleConfig::kNumber, readConsole, "2", "24"},
    {"console write", proc::SetConsoleConfig::kNumber,
     [] { return resultOf(qelSysSetConsoleConfig(1, 2, 3, 4, 5)); }, "2", "24"},
    {"cpu write", proc::SetCPUConfig::kNumber,
     [] { return resultOf(qelSetCPUConfiguration(1, 2, 3, 4, 5)); }, "2", "24"},
    {"pbm read", proc::GetPBMString::kNumber, readPbm, "2", "24"},
    {"pbm write", proc::SetPBMString::kNumber, [] { return resultOf(qelSetPBMString(1, "x")); },
     "2", "24"},
    {"register pid", proc::RegisterPID::kNumber, [] { return resultOf(qelRegisterPID(1, 2)); }, "2",
     "24"},
    {"notify", proc::Notify::kNumber, [] { return resultOf(qelNotify(1)); }, "2", "24"},
    {"internal state", proc::InternalState::kNumber, readInternalState, "null", "null"},
    {"debug level", proc::SetDebugLevel::kNumber,
     [] { return std::to_string(qelSetDebugLevel(1)); }, "0", "0"},
};

TEST_F(AdminFailureTest, CallWithoutAReplyFailsAndDropsTheHandle) {
  const std::pair<const char *, Reply> failures[] = {
      {"connection dropped", Reply::drop()},
      {"reply cut short", Reply::body(Bytes{0, 0})},
      {"arguments refused", Reply::garbageArgs()},
      {"procedure unavailable", Reply::procUnavail()},
  };
  for (const OperationCase &c : kOperations) {
    for (const auto &[failureName, failure] : failures) {
      SCOPED_TRACE(std::string(c.name) + ", " + failureName);
      ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
      server.answerOnce(c.procedure, failure);
      EXPECT_EQ(c.run(), c.onCallFailure);
      EXPECT_EQ(handle(), nullptr);
    }
  }
}

TEST_F(AdminFailureTest, NoServerGivesTheConnectionCodeAndWritesNothing) {
  server.shutDown();
  for (const OperationCase &c : kOperations) {
    SCOPED_TRACE(c.name);
    qelDisconnect();
    EXPECT_EQ(c.run(), c.onNoServer);
    EXPECT_EQ(handle(), nullptr);
  }
  EXPECT_EQ(server.callCount(), 0u);
}

}  // namespace
}  // namespace qel::test
