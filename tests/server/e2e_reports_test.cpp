// Sensor and component reports of the library against qel-simd, and how the platform and the
// thresholds show in them.
#include <vector>

#include "simd_test.hpp"
#include "xml_check.hpp"

namespace qel::test {
namespace {

using SimdReports = SimdTest;

TEST_F(SimdReports, ThresholdsDriveTheComponentStatus) {
  ASSERT_EQ(qelSysSetSensorValue("cpu0-temp", 70.0f), RESULT_OK);
  int status = -1;
  ASSERT_EQ(qelSysGetComponentStatus("cpu0", &status), RESULT_OK);
  EXPECT_EQ(status, 0);
  const SensorThresholds lower{1, 1, 1, 255, 0.0f, 5.0f, 65.0f, 95.0f};
  ASSERT_EQ(qelSysSetSensorThresholds("cpu0-temp", &lower), RESULT_OK);
  ASSERT_EQ(qelSysGetComponentStatus("cpu0", &status), RESULT_OK);
  EXPECT_EQ(status, 1);  // warning
}

TEST_F(SimdReports, ComponentsHaveStatusAndPresence) {
  int value = -1;
  ASSERT_EQ(qelSysGetComponentStatus("dimm1", &value), RESULT_OK);
  EXPECT_EQ(value, 3);  // absent
  EXPECT_EQ(qelSysGetComponentStatus("gpu9", &value), kNoSuchItem);
  ASSERT_EQ(qelSysGetPresenceDetect("dimm1", &value), RESULT_OK);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(qelSysGetPresenceDetect("cpu1", &value), RESULT_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(qelSysGetPresenceDetect("gpu9", &value), kNoSuchItem);
  char *report = nullptr;
  ASSERT_EQ(qelSysGetPresenceDetectAll(&report), RESULT_OK);
  const std::string presence = take(report);
  EXPECT_NE(presence.find("dimm1: absent\n"), std::string::npos) << presence;
  EXPECT_NE(presence.find("cpu0: present\n"), std::string::npos) << presence;
  ASSERT_EQ(qelSysGetComponentStatusAll(&report), RESULT_OK);
  EXPECT_NE(take(report).find("dimm1: absent\n"), std::string::npos);
}

TEST_F(SimdReports, ReportsAreWellFormedAndShowSetValues) {
  ASSERT_EQ(qelSysSetSensorValue("cpu1-temp", 61.25f), RESULT_OK);
  char *report = nullptr;
  ASSERT_EQ(qelSysGetSensorValuesXML(&report), RESULT_OK);
  std::string text = take(report);
  EXPECT_EQ(xmlProblem(text), "") << text;
  EXPECT_NE(text.find("unit=\"C\" available=\"yes\" status=\"ok\">61.25</sensor>"),
            std::string::npos)
      << text;
  ASSERT_EQ(qelSysGetSensorValuesASCII(&report), RESULT_OK);
  text = take(report);
  EXPECT_NE(text.find("61.25"), std::string::npos) << text;
  EXPECT_NE(text.find("N/A"), std::string::npos) << text;

  ASSERT_EQ(qelSysGetSensorValuesForComponentXML("cpu1", &report), RESULT_OK);
  text = take(report);
  EXPECT_EQ(xmlProblem(text), "") << text;
  EXPECT_NE(text.find("cpu1-temp"), std::string::npos);
  EXPECT_EQ(text.find("cpu0-temp"), std::string::npos);
  ASSERT_EQ(qelSysGetSensorValuesForComponentASCII("cpu1", &report), RESULT_OK);
  EXPECT_NE(take(report).find("61.25"), std::string::npos);
  EXPECT_EQ(qelSysGetSensorValuesForComponentXML("gpu9", &report), kNoSuchItem);
  EXPECT_EQ(qelSysGetSensorValuesForComponentASCII("gpu9", &report), kNoSuchItem);

  ASSERT_EQ(qelSysGetESValuesForComponentXML(nullptr, &report), RESULT_OK);
  text = take(report);
  EXPECT_EQ(xmlProblem(text), "") << text;
  EXPECT_NE(text.find("fan0-speed"), std::string::npos);
  EXPECT_EQ(text.find("cpu0-vcore"), std::string::npos);  // a voltage is not environmental
  ASSERT_EQ(qelSysGetESValuesForComponentXML("psu0", &report), RESULT_OK);
  EXPECT_EQ(xmlProblem(take(report)), "");
  EXPECT_EQ(qelSysGetESValuesForComponentXML("gpu9", &report), kNoSuchItem);
}

}  // namespace
}  // namespace qel::test
