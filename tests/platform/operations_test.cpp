// The platform operations end to end against the scripted server: what each sends, how its
// reply integer becomes the result and the output, and what a failed call leaves behind.
#include <gtest/gtest.h>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using PlatformOperationTest = ServerTest;

constexpr int kUntouched = 0x5EED;

// Every platform operation, with an int output where it has one.
struct OperationCase {
  const char *name;
  uint32_t procedure;
  unsigned int (*operation)(int *out);
  bool statusReply;
  Bytes argument;  // what the call puts on the wire
};

const OperationCase kOperations[] = {
    {"get state", proc::PlatformGetState::kNumber, qelPlatformGetState, false, {}},
    {"set action", proc::PlatformSetAction::kNumber,
     [](int *) { return qelPlatformSetAction(-3, 255, 9, "reset"); }, true,
     concat({words({0xFFFFFFFD, 255, 9}), xdrString("reset")})},
    {"get power state", proc::PlatformGetPowerState::kNumber, qelPlatformGetPowerState, false, {}},
    {"set power state", proc::PlatformSetPowerState::kNumber,
     [](int *) { return qelPlatformSetPowerState(-1); }, true, words({0xFFFFFFFF})},
    {"get power level", proc::PlatformGetPowerLevel::kNumber, qelPlatformGetPowerLevel, false, {}},
    {"set power level", proc::PlatformSetPowerLevel::kNumber,
     [](int *) { return qelPlatformSetPowerLevel(75); }, true, words({75})},
    {"get shutdown reason",
     proc::PlatformGetOffReason::kNumber,
     qelPlatformGetShutdownReason,
     false,
     {}},
    {"machine check event", proc::PlatformMCEvent::kNumber,
     [](int *) { return qelPlatformMachineCheckEvent(1, -2, INT32_MAX, "bank 4"); }, true,
     concat({words({1, 0xFFFFFFFE, 0x7FFFFFFF}), xdrString("bank 4")})},
    {"dimm error", proc::PlatformDimmEvent::kNumber,
     [](int *) { return qelPlatformLogDimmError(4, 3, 2, INT32_MIN, "abcd"); }, true,
     concat({words({4, 3, 2, 0x80000000}), xdrString("abcd")})},
    {"button", proc::PlatformButton::kNumber, [](int *) { return qelPlatformButton(2); }, true,
     words({2})},
    {"get type", proc::PlatformGetType::kNumber,
     [](int *out) { return qelPlatformGetType("chassis", out); }, false, xdrString("chassis")},
};

TEST_F(PlatformOperationTest, StatusRepliesPassUnchangedAndTheRequestIsExact) {
  for (const OperationCase &c : kOperations) {
    if (!c.statusReply) continue;
    for (int32_t status : {0, 7, 17, -1, INT32_MIN}) {
      SCOPED_TRACE(std::string(c.name) + " status " + std::to_string(status));
      server.clearLog();
      server.answer(c.procedure, Reply::integer(status));
      EXPECT_EQ(c.operation(nullptr), static_cast<unsigned int>(status));
      const auto received = server.calls();
      ASSERT_EQ(received.size(), 1u);
      EXPECT_EQ(received[0].procedure, c.procedure);
      EXPECT_EQ(received[0].arguments, c.argument);
      EXPECT_NE(handle(), nullptr) << "a server's code keeps the handle";
    }
  }
  EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST_F(PlatformOperationTest, ValueOperationsSendTheirRequest) {
  for (const OperationCase &c : kOperations) {
    if (c.statusReply) continue;
    SCOPED_TRACE(c.name);
    server.clearLog();
    server.answer(c.procedure, Reply::integer(1));
    int out = kUntouched;
    EXPECT_EQ(c.operation(&out), RESULT_OK);
    EXPECT_EQ(out, 1);
    const auto received = server.calls();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].procedure, c.procedure);
    EXPECT_EQ(received[0].arguments, c.argument);
  }
}

TEST_F(PlatformOperationTest, MissingReplyGivesCallFailedLeavesTheOutputAndReconnects) {
  const Reply failures[] = {Reply::drop(), Reply::integer(3).cutTo(2), Reply::procUnavail()};
  for (const OperationCase &c : kOperations) {
    for (const Reply &failure : failures) {
      SCOPED_TRACE(c.name);
      server.answerOnce(c.procedure, failure);
      int out = kUntouched;
      EXPECT_EQ(c.operation(&out), RESULT_CALL_FAILED);
      EXPECT_EQ(out, kUntouched);
      EXPECT_EQ(handle(), nullptr);

      server.answer(c.procedure, Reply::integer(1));
      EXPECT_EQ(c.operation(&out), c.statusReply ? 1u : RESULT_OK) << "the next call connects anew";
      EXPECT_NE(handle(), nullptr);
    }
  }
}

TEST_F(PlatformOperationTest, FailedConnectionReturnsItsCodeAndWritesNothing) {
  server.shutDown();
  for (const OperationCase &c : kOperations) {
    SCOPED_TRACE(c.name);
    qelDisconnect();
    int out = kUntouched;
    EXPECT_EQ(c.operation(&out), RESULT_NOT_REGISTERED);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(handle(), nullptr);
  }
  EXPECT_EQ(server.callCount(), 0u);
}

TEST_F(PlatformOperationTest, SetActionSendsAnEmptyTextForNullAndTheOptionUnsigned) {
  server.answer(proc::PlatformSetAction::kNumber, Reply::integer(0));
  const auto sent = [&] {
    return server.callsOf(proc::PlatformSetAction::kNumber).back().arguments;
  };
  EXPECT_EQ(qelPlatformSetAction(1, 200, 3, nullptr), RESULT_OK);
  EXPECT_EQ(sent(), words({1, 200, 3, 0}));
  EXPECT_EQ(qelPlatformSetAction(0, 0, 0, ""), RESULT_OK);
  EXPECT_EQ(sent(), words({0, 0, 0, 0}));
}

TEST_F(PlatformOperationTest, NullTextsOfOtherOperationsFailTheCallAndTheNextReconnects) {
  const struct {
    const char *name;
    unsigned int (*operation)(int *);
  } nullTexts[] = {
      {"machine check", [](int *) { return qelPlatformMachineCheckEvent(1, 2, 3, nullptr); }},
      {"dimm error", [](int *) { return qelPlatformLogDimmError(1, 2, 3, 4, nullptr); }},
      {"get type", [](int *out) { return qelPlatformGetType(nullptr, out); }},
  };
  server.answer(proc::PlatformButton::kNumber, Reply::integer(0));
  for (const auto &c : nullTexts) {
    SCOPED_TRACE(c.name);
    int out = kUntouched;
    EXPECT_EQ(c.operation(&out), RESULT_CALL_FAILED);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(handle(), nullptr);
    EXPECT_EQ(qelPlatformButton(1), RESULT_OK);
    EXPECT_NE(handle(), nullptr);
  }
}

TEST_F(PlatformOperationTest, TypeAlwaysReceivesTheReplyAndZeroIsRejected) {
  const struct {
    int32_t reply;
    unsigned int result;
  } cases[] = {{0, RESULT_INVALID_ARGUMENT},
               {-3, RESULT_OK},
               {9, RESULT_OK},
               {-1, RESULT_OK},
               {INT32_MIN, RESULT_OK}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.reply);
    server.answer(proc::PlatformGetType::kNumber, Reply::integer(c.reply));
    int type = kUntouched;
    EXPECT_EQ(qelPlatformGetType("board", &type), c.result);
    EXPECT_EQ(type, c.reply);
    EXPECT_NE(handle(), nullptr);
  }
}

TEST_F(PlatformOperationTest, RequiredOutputsMissingGiveInvalidArgumentWithoutConnecting) {
  // Even a thread that could not connect learns of the missing output first.
  server.shutDown();
  qelDisconnect();
  EXPECT_EQ(qelPlatformGetShutdownReason(nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(qelPlatformGetType("board", nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(server.callCount(), 0u);
}

}  // namespace
}  // namespace qel::test
