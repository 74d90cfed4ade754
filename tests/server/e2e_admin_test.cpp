// Administration operations of the library against qel-simd: every change read back.
#include <tuple>

#include "simd_test.hpp"

namespace qel::test {
namespace {

using SimdAdmin = SimdTest;

TEST_F(SimdAdmin, ConsoleConfigurationIsReadBackAsSet) {
  int v1 = 0, v2 = 0, v3 = 0, v4 = 0;
  unsigned long v5 = 1;
  ASSERT_EQ(qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5), RESULT_OK);
  EXPECT_EQ(std::tie(v1, v2, v3, v4), std::make_tuple(115200, 8, 0, 1));
  EXPECT_EQ(v5, 0u);
  ASSERT_EQ(qelSysSetConsoleConfig(9600, 7, 2, 2, 4294967295ul), RESULT_OK);
  ASSERT_EQ(qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5), RESULT_OK);
  EXPECT_EQ(std::tie(v1, v2, v3, v4), std::make_tuple(9600, 7, 2, 2));
  EXPECT_EQ(v5, 4294967295ul);
  EXPECT_EQ(qelSysSetConsoleConfig(1234, 8, 0, 1, 0), kBadValue);
  ASSERT_EQ(qelSysGetConsoleConfig(&v1, nullptr, nullptr, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(v1, 9600);
}

TEST_F(SimdAdmin, CpuConfigurationShowsInTheInternalState) {
  EXPECT_NE(internalState().find("cpu configuration: none\n"), std::string::npos);
  ASSERT_EQ(qelSetCPUConfiguration(-1, 1, 2, 3, 4294967295u), RESULT_OK);
  EXPECT_NE(internalState().find("cpu configuration: -1 1 2 3 4294967295\n"), std::string::npos);
}

TEST_F(SimdAdmin, PbmStringsAreReadBackAsSet) {
  char *text = nullptr;
  ASSERT_EQ(qelGetPBMString(1, &text), RESULT_OK);
  EXPECT_EQ(take(text), "POST complete");
  ASSERT_EQ(qelSetPBMString(3, "hello, SP"), RESULT_OK);
  ASSERT_EQ(qelGetPBMString(3, &text), RESULT_OK);
  EXPECT_EQ(take(text), "hello, SP");
  ASSERT_EQ(qelSetPBMString(3, nullptr), RESULT_OK);
  ASSERT_EQ(qelGetPBMString(3, &text), RESULT_OK);
  EXPECT_EQ(take(text), "");
  text = nullptr;
  EXPECT_EQ(qelGetPBMString(8, &text), kNoSuchItem);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(qelSetPBMString(8, "x"), kNoSuchItem);
}

TEST_F(SimdAdmin, RegisteredProcessesAndNotificationsShowInTheInternalState) {
  ASSERT_EQ(qelRegisterPID(1234, 4294967295ul), RESULT_OK);
  ASSERT_EQ(qelNotify(9), RESULT_OK);
  ASSERT_EQ(qelNotify(4), RESULT_OK);
  const std::string state = internalState();
  EXPECT_NE(state.find("processes: 1234/4294967295\n"), std::string::npos) << state;
  EXPECT_NE(state.find("notifications: 2 last 4\n"), std::string::npos) << state;
  EXPECT_EQ(qelRegisterPID(0, 1), kBadValue);
  EXPECT_EQ(qelNotify(-1), kBadValue);
}

TEST_F(SimdAdmin, DebugLevelChangesTheServersLogging) {
  EXPECT_NE(internalState().find("debug level: 1\n"), std::string::npos);
  EXPECT_EQ(qelSetDebugLevel(3), 0);
  EXPECT_NE(internalState().find("debug level: 3\n"), std::string::npos);
  EXPECT_EQ(qelSetDebugLevel(9), static_cast<int>(kBadValue));
  EXPECT_NE(internalState().find("debug level: 3\n"), std::string::npos);
  EXPECT_EQ(qelSetDebugLevel(1), 0);
}

TEST_F(SimdAdmin, RebootCountsABootAndForgetsRegisteredProcesses) {
  ASSERT_EQ(qelRegisterPID(4321, 9), RESULT_OK);
  ASSERT_EQ(qelRebootSP(), RESULT_OK);
  const std::string state = internalState();
  EXPECT_NE(state.find("boots: 2\n"), std::string::npos) << state;
  EXPECT_NE(state.find("processes:\n"), std::string::npos) << state;
  EXPECT_NE(state.find("SP rebooted"), std::string::npos) << state;
}

}  // namespace
}  // namespace qel::test
