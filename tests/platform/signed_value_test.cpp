// The signed-value family: the four platform getters and the two integer sensor reports. A
// negative reply -n is the result n; what happens to the output then differs per operation.
#include <gtest/gtest.h>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using SignedValueTest = ServerTest;

constexpr int kUntouched = 0x5EED;

enum class OnError { kClearsOutput, kLeavesOutput };

struct SignedCase {
  const char *name;
  uint32_t procedure;
  unsigned int (*operation)(int *out);
  OnError onError;
  bool outputRequired;
};

const SignedCase kSigned[] = {
    {"platform state", proc::PlatformGetState::kNumber, qelPlatformGetState, OnError::kClearsOutput,
     false},
    {"power state", proc::PlatformGetPowerState::kNumber, qelPlatformGetPowerState,
     OnError::kClearsOutput, false},
    {"power level", proc::PlatformGetPowerLevel::kNumber, qelPlatformGetPowerLevel,
     OnError::kLeavesOutput, false},
    {"shutdown reason", proc::PlatformGetOffReason::kNumber, qelPlatformGetShutdownReason,
     OnError::kLeavesOutput, true},
    {"component status", proc::ComponentStatus::kNumber,
     [](int *out) { return qelSysGetComponentStatus("psu1", out); }, OnError::kLeavesOutput, false},
    {"presence detect", proc::PresenceDetect::kNumber,
     [](int *out) { return qelSysGetPresenceDetect("psu1", out); }, OnError::kLeavesOutput, false},
};

const struct {
  int32_t reply;
  unsigned int result;
} kReplies[] = {
    {0, RESULT_OK}, {3, RESULT_OK}, {INT32_MAX, RESULT_OK},
    {-5, 5u},       {-1, 1u},       {INT32_MIN, 2147483648u},
};

TEST_F(SignedValueTest, NegativeRepliesAreNegatedAndOutputsFollowTheirRule) {
  for (const SignedCase &c : kSigned) {
    for (const auto &r : kReplies) {
      SCOPED_TRACE(std::string(c.name) + " reply " + std::to_string(r.reply));
      server.answer(c.procedure, Reply::integer(r.reply));
      int out = kUntouched;
      EXPECT_EQ(c.operation(&out), r.result);
      const int expected =
          r.reply >= 0 ? r.reply : (c.onError == OnError::kClearsOutput ? 0 : kUntouched);
      EXPECT_EQ(out, expected);
      EXPECT_NE(handle(), nullptr) << "a server's code keeps the handle";
    }
  }
}

TEST_F(SignedValueTest, NullOptionalOutputStillReturnsTheResult) {
  for (const SignedCase &c : kSigned) {
    if (c.outputRequired) continue;
    for (const auto &r : kReplies) {
      SCOPED_TRACE(std::string(c.name) + " reply " + std::to_string(r.reply));
      server.answer(c.procedure, Reply::integer(r.reply));
      const std::size_t before = server.callsOf(c.procedure).size();
      EXPECT_EQ(c.operation(nullptr), r.result);
      EXPECT_EQ(server.callsOf(c.procedure).size(), before + 1);
    }
  }
}

TEST_F(SignedValueTest, ComponentReportsSendTheNameAsAString) {
  for (const SignedCase &c : kSigned) {
    if (c.procedure != proc::ComponentStatus::kNumber &&
        c.procedure != proc::PresenceDetect::kNumber) {
      continue;
    }
    SCOPED_TRACE(c.name);
    server.answer(c.procedure, Reply::integer(1));
    int out = 0;
    ASSERT_EQ(c.operation(&out), RESULT_OK);
    EXPECT_EQ(server.callsOf(c.procedure).back().arguments, xdrString("psu1"));
  }
}

}  // namespace
}  // namespace qel::test
