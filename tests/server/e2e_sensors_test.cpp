// Sensor operations of the library against qel-simd: every change read back.
#include <vector>

#include "simd_test.hpp"

namespace qel::test {
namespace {

using SimdSensors = SimdTest;

TEST_F(SimdSensors, ValuesAreReadBackAsSet) {
  float value = 0;
  ASSERT_EQ(qelSysGetSensorValue("product-id", &value), RESULT_OK);
  EXPECT_EQ(value, 26.0f);
  ASSERT_EQ(qelSysGetSensorValue("cpu0-temp", &value), RESULT_OK);
  EXPECT_GE(value, 0.0f);
  EXPECT_LE(value, 110.0f);
  ASSERT_EQ(qelSysSetSensorValue("cpu0-temp", 42.5f), RESULT_OK);
  ASSERT_EQ(qelSysGetSensorValue("cpu0-temp", &value), RESULT_OK);
  EXPECT_EQ(value, 42.5f);
  EXPECT_EQ(qelSysGetSensorValue("no-such-sensor", &value), kNoSuchItem);
  EXPECT_EQ(qelSysSetSensorValue("no-such-sensor", 1.0f), kNoSuchItem);
}

TEST_F(SimdSensors, UnavailableSensorReadsTheSentinelAndRefusesSets) {
  float value = 0;
  ASSERT_EQ(qelSysGetSensorValue("dimm1-temp", &value), RESULT_OK);
  EXPECT_EQ(value, -300.0f);
  // The server answers 15; the library reads the sentinel and turns it into 5.
  EXPECT_EQ(qelSysSetSensorValue("dimm1-temp", 30.0f), RESULT_NOT_AVAILABLE);
  const SensorThresholds limits{1, 1, 1, 1, 0, 5, 80, 90};
  EXPECT_EQ(qelSysSetSensorThresholds("dimm1-temp", &limits), RESULT_NOT_AVAILABLE);
}

TEST_F(SimdSensors, ThresholdsAreReadBackAsSet) {
  SensorThresholds limits{};
  ASSERT_EQ(qelSysGetSensorThresholds("cpu0-temp", &limits), RESULT_OK);
  EXPECT_EQ(limits.threshold3, 85.0f);
  EXPECT_EQ(limits.thresholdFlag4, 1);
  const SensorThresholds lower{1, 1, 0, 255, 0.0f, 5.0f, 65.0f, 95.0f};
  ASSERT_EQ(qelSysSetSensorThresholds("cpu0-temp", &lower), RESULT_OK);
  ASSERT_EQ(qelSysGetSensorThresholds("cpu0-temp", &limits), RESULT_OK);
  EXPECT_EQ(limits.threshold3, 65.0f);
  EXPECT_EQ(limits.thresholdFlag3, 0);
  EXPECT_EQ(limits.thresholdFlag4, 255);
  EXPECT_EQ(qelSysGetSensorThresholds("no-such-sensor", &limits), kNoSuchItem);
  EXPECT_EQ(qelSysSetSensorThresholds("no-such-sensor", &lower), kNoSuchItem);
}

TEST_F(SimdSensors, VrmGoodnessComesFromTheScenario) {
  int values[4] = {-1, -1, -1, -1};
  ASSERT_EQ(qelSysGetVRMGoodness(1, 4, values), RESULT_OK);
  EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{1, 1, 0, 0}));
  EXPECT_EQ(qelSysGetVRMGoodness(7, 4, values), kNoSuchItem);
}

TEST_F(SimdSensors, CatalogueListsAndDescribesSensors) {
  unsigned count = 0;
  char **ids = nullptr;
  ASSERT_EQ(qelGetSensorList(0, 0, &count, &ids), RESULT_OK);
  std::vector<std::string> all;
  for (unsigned i = 0; i < count; ++i) all.push_back(take(ids[i]));
  free(ids);
  EXPECT_EQ(all.size(), 13u);
  EXPECT_EQ(all.front(), "ambient-temp");
  EXPECT_EQ(all.back(), "product-id");

  ASSERT_EQ(qelGetSensorList(3, 0, &count, &ids), RESULT_OK);  // fans
  std::vector<std::string> fans;
  for (unsigned i = 0; i < count; ++i) fans.push_back(take(ids[i]));
  free(ids);
  EXPECT_EQ(fans, (std::vector<std::string>{"fan0-speed", "fan1-speed"}));
  EXPECT_EQ(qelGetSensorList(9, 0, &count, &ids), kBadValue);
  EXPECT_EQ(qelGetSensorList(0, 99, &count, &ids), kNoSuchItem);

  SensorInfo info{};
  ASSERT_EQ(qelGetSensorInfo("cpu0-vcore", &info), RESULT_OK);
  EXPECT_STREQ(info.text1, "cpu0-vcore");
  EXPECT_STREQ(info.text2, "CPU 0 core");
  EXPECT_STREQ(info.text4, "V");
  EXPECT_STREQ(info.text5, "cpu0");
  EXPECT_STREQ(info.text6, "voltage");
  EXPECT_EQ(info.intValue1, 2);
  EXPECT_EQ(info.intValue2, 1);
  EXPECT_EQ(info.realValue2, 2.0f);
  EXPECT_EQ(info.intValue3, 15);
  EXPECT_EQ(qelGetSensorInfo("no-such-sensor", &info), kNoSuchItem);
}

TEST_F(SimdSensors, FanStateFollowsTheTemperatures) {
  FanState fan{};
  ASSERT_EQ(qelGetFanState(&fan), RESULT_OK);
  EXPECT_EQ(fan.entryCount, 2);
  EXPECT_EQ(fan.debugValue4, 30);
  EXPECT_EQ(fan.debugValue5, 100);
  EXPECT_GT(fan.entries[0], 5000);
  for (const char *id : {"cpu0-temp", "cpu1-temp", "dimm0-temp", "ambient-temp"}) {
    ASSERT_EQ(qelSysSetSensorValue(id, 20.0f), RESULT_OK);
  }
  ASSERT_EQ(qelGetFanState(&fan), RESULT_OK);
  EXPECT_EQ(fan.debugValue3, 30);  // cool: minimum duty
  ASSERT_EQ(qelSysSetSensorValue("cpu0-temp", 80.0f), RESULT_OK);
  ASSERT_EQ(qelGetFanState(&fan), RESULT_OK);
  EXPECT_EQ(fan.debugValue3, 100);  // hot: maximum duty
}

}  // namespace
}  // namespace qel::test
