// Platform operations of the library against qel-simd: every change read back.
#include <tuple>
#include <vector>

#include "simd_test.hpp"

namespace qel::test {
namespace {

using SimdPlatform = SimdTest;

TEST_F(SimdPlatform, HostStartsRunningAtFullPower) {
  int state = -1, power = -1, level = -1, reason = -1;
  ASSERT_EQ(qelPlatformGetState(&state), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerState(&power), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerLevel(&level), RESULT_OK);
  ASSERT_EQ(qelPlatformGetShutdownReason(&reason), RESULT_OK);
  EXPECT_EQ(std::make_tuple(state, power, level, reason), std::make_tuple(2, 1, 100, 0));
}

TEST_F(SimdPlatform, PowerLevelIsReadBackAsSet) {
  ASSERT_EQ(qelPlatformSetPowerLevel(60), RESULT_OK);
  int level = 0;
  ASSERT_EQ(qelPlatformGetPowerLevel(&level), RESULT_OK);
  EXPECT_EQ(level, 60);
  EXPECT_EQ(qelPlatformSetPowerLevel(101), kBadValue);
}

TEST_F(SimdPlatform, PowerStateDrivesTheHost) {
  ASSERT_EQ(qelPlatformSetPowerState(0), RESULT_OK);
  int state = -1, power = -1, reason = -1;
  ASSERT_EQ(qelPlatformGetState(&state), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerState(&power), RESULT_OK);
  ASSERT_EQ(qelPlatformGetShutdownReason(&reason), RESULT_OK);
  EXPECT_EQ(std::make_tuple(state, power, reason), std::make_tuple(0, 0, 1));
  ASSERT_EQ(qelPlatformSetPowerState(1), RESULT_OK);
  ASSERT_EQ(qelPlatformGetState(&state), RESULT_OK);
  EXPECT_EQ(state, 1);  // booting for the scenario's five seconds
  EXPECT_EQ(qelPlatformSetPowerState(2), kBadValue);
}

TEST_F(SimdPlatform, ActionsAndButtonsChangePowerAndReason) {
  int power = -1, reason = -1;
  ASSERT_EQ(qelPlatformSetAction(2, 255, 30, nullptr), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerState(&power), RESULT_OK);
  ASSERT_EQ(qelPlatformGetShutdownReason(&reason), RESULT_OK);
  EXPECT_EQ(std::make_tuple(power, reason), std::make_tuple(0, 3));
  EXPECT_EQ(qelPlatformSetAction(2, 0, 0, "again"), kWrongState);
  EXPECT_EQ(qelPlatformSetAction(42, 0, 0, "unknown"), kBadValue);
  ASSERT_EQ(qelPlatformButton(1), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerState(&power), RESULT_OK);
  EXPECT_EQ(power, 1);
  ASSERT_EQ(qelPlatformButton(1), RESULT_OK);
  ASSERT_EQ(qelPlatformGetShutdownReason(&reason), RESULT_OK);
  EXPECT_EQ(reason, 2);
  EXPECT_EQ(qelPlatformButton(2), kWrongState);
  EXPECT_EQ(qelPlatformButton(9), kBadValue);
  EXPECT_NE(internalState().find("action 2 option 255 value 30"), std::string::npos);
}

TEST_F(SimdPlatform, TypesComeFromTheScenario) {
  int type = 0;
  ASSERT_EQ(qelPlatformGetType("board", &type), RESULT_OK);
  EXPECT_EQ(type, 17);
  EXPECT_EQ(qelPlatformGetType("no-such-key", &type), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(type, 0);
}

TEST_F(SimdPlatform, EventsGoToTheEventLog) {
  ASSERT_EQ(qelPlatformMachineCheckEvent(1, -2, 3, "bank 4 corrected"), RESULT_OK);
  ASSERT_EQ(qelPlatformLogDimmError(0, 1, 2, 3, "DIMM A0 ECC"), RESULT_OK);
  const std::string state = internalState();
  EXPECT_NE(state.find("machine check 1 -2 3 \"bank 4 corrected\""), std::string::npos) << state;
  EXPECT_NE(state.find("DIMM error 0 1 2 3 \"DIMM A0 ECC\""), std::string::npos) << state;
}

TEST_F(SimdPlatform, VrmGoodnessIsZeroWhileTheHostIsOff) {
  int values[4] = {-1, -1, -1, -1};
  ASSERT_EQ(qelPlatformSetPowerState(0), RESULT_OK);
  ASSERT_EQ(qelSysGetVRMGoodness(0, 4, values), RESULT_OK);
  EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace qel::test
