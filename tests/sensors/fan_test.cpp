// The fan debug state end to end: which positions reach the caller, and entry counts the
// records cannot hold.
#include <climits>
#include <cstring>
#include <string>

#include "protocol/procedures.hpp"
#include "sensor_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kFan = proc::GetFanState::kNumber;
constexpr int kUntouched = 0x5A5A5A5A;

// Position p of the record holds 1000 + p, entries included, except for entryCount.
rpc_FanDebugState fanReply(int errorCode, int entryCount) {
  rpc_FanDebugState fan{errorCode, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, entryCount, {}};
  for (int i = 0; i < 16; ++i) fan.entries[i] = 1010 + i;
  return fan;
}

FanState untouchedState() {
  FanState state;
  std::memset(&state, 0x5A, sizeof state);
  return state;
}

using FanTest = SensorTest;

TEST_F(FanTest, CopiesTheCountedEntriesAndSkipsPositionSix) {
  for (int count : {0, 3, 16}) {
    SCOPED_TRACE("entryCount " + std::to_string(count));
    server.answerOnce(kFan, Reply::record(xdr_rpc_FanDebugState, fanReply(0, count)));
    FanState state = untouchedState();
    ASSERT_EQ(qelGetFanState(&state), RESULT_OK);
    const int scalars[] = {state.debugValue1, state.debugValue2, state.debugValue3,
                           state.debugValue4, state.debugValue5, state.debugValue7,
                           state.debugValue8};
    const int expected[] = {1001, 1002, 1003, 1004, 1005, 1007, 1008};
    EXPECT_EQ(std::memcmp(scalars, expected, sizeof expected), 0);
    EXPECT_EQ(state.entryCount, count);
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(state.entries[i], i < count ? 1010 + i : kUntouched) << "entry " << i;
    }
  }
  EXPECT_TRUE(server.callsOf(kFan).back().arguments.empty());
}

TEST_F(FanTest, FailuresAndImpossibleCountsLeaveTheStateAlone) {
  const auto record = [](int errorCode, int count) {
    return Reply::record(xdr_rpc_FanDebugState, fanReply(errorCode, count));
  };
  expectReplies(
      kFan,
      {
          {"seventeen entries", record(0, 17), RESULT_INVALID_ARGUMENT, true},
          {"far too many entries", record(0, INT_MAX), RESULT_INVALID_ARGUMENT, true},
          {"negative count", record(0, -1), RESULT_INVALID_ARGUMENT, true},
          {"most negative count", record(0, INT_MIN), RESULT_INVALID_ARGUMENT, true},
          {"server refuses", record(7, 3), 7, true},
          {"server refuses, bad count too", record(-2, 99), static_cast<unsigned int>(-2), true},
          {"reply of 100 bytes", record(0, 3).cutTo(100), RESULT_CALL_FAILED, false},
          {"connection dropped", Reply::drop(), RESULT_CALL_FAILED, false},
      },
      [] {
        FanState state = untouchedState();
        const FanState before = state;
        const unsigned int result = qelGetFanState(&state);
        EXPECT_EQ(std::memcmp(&state, &before, sizeof state), 0);
        return result;
      });
}

}  // namespace
}  // namespace qel::test
