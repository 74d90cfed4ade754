// The simulated SP without the RPC layer: readings, thresholds, platform transitions, resets,
// catalogue, fan and reports.
#include "server/sp_state.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "server/formats.hpp"
#include "server/log.hpp"
#include "server/reports.hpp"
#include "xml_check.hpp"

namespace qel::simd {
namespace {

// Deterministic readings: no wander and no boot delay.
constexpr const char *kScenario = R"({
  "hostname": "lab-sp",
  "interfaces": [{"label": "eth0", "hardwareAddress": "02:00:00:00:00:01",
                  "ipAddress": "192.0.2.10", "netmask": "255.255.255.0"}],
  "platform": {"bootSeconds": 0, "powerLevel": 80, "types": {"board": 7}},
  "components": [{"name": "cpu0"}, {"name": "fans & <co>"}, {"name": "dimm1", "present": false}],
  "sensors": [
    {"id": "cpu0-temp", "component": "cpu0", "kind": "temperature", "unit": "C", "value": 50,
     "offValue": 20, "thresholds": [0, 5, 70, 90]},
    {"id": "fan0", "component": "fans & <co>", "kind": "fan", "value": 5000, "offValue": 0,
     "thresholds": [500, 1000, 9000, 9500]},
    {"id": "dimm1-temp", "component": "dimm1", "kind": "temperature", "value": 0,
     "available": false}
  ],
  "vrms": [{"selector": 2, "goodness": [1, 0, 1]}],
  "fan": {"targetTemperature": 60, "minimumDuty": 30, "maximumDuty": 100}
})";

// The model logs its events; the tests only look at its answers.
class QuietLog : public ::testing::Environment {
  void SetUp() override { setLogLevel(kLogError); }
};
const auto *const kQuietLog = ::testing::AddGlobalTestEnvironment(new QuietLog);

class SpStateTest : public ::testing::Test {
 protected:
  float value(const char *id) {
    float v = 0;
    EXPECT_EQ(state.sensorValue(id, v), kOk);
    return v;
  }
  SpState state{parseScenario(kScenario, "test")};
};

TEST_F(SpStateTest, ReadingsFollowThePowerAndASetValueHolds) {
  EXPECT_EQ(value("cpu0-temp"), 50.0f);
  ASSERT_EQ(state.setPowerState(0), kOk);
  EXPECT_EQ(value("cpu0-temp"), 20.0f);
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 33.5f), kOk);
  ASSERT_EQ(state.setPowerState(1), kOk);
  EXPECT_EQ(value("cpu0-temp"), 33.5f);
  ASSERT_EQ(state.resetToDefaults(0), kOk);
  EXPECT_EQ(value("cpu0-temp"), 50.0f);
}

TEST_F(SpStateTest, UnavailableSensorReadsTheSentinelAndRefusesSets) {
  EXPECT_EQ(value("dimm1-temp"), kNoReading);
  EXPECT_EQ(state.setSensorValue("dimm1-temp", 1.0f), kUnavailable);
  EXPECT_EQ(state.setThresholds("dimm1-temp", {}), kUnavailable);
  float unused = 0;
  EXPECT_EQ(state.sensorValue("no-such-sensor", unused), kNoSuchItem);
  EXPECT_EQ(state.setSensorValue("no-such-sensor", 1.0f), kNoSuchItem);
}

TEST_F(SpStateTest, ComponentStatusIsTheWorstOfItsSensors) {
  EXPECT_EQ(state.componentStatus("cpu0"), kStatusOk);
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 75.0f), kOk);
  EXPECT_EQ(state.componentStatus("cpu0"), kStatusWarning);
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 95.0f), kOk);
  EXPECT_EQ(state.componentStatus("cpu0"), kStatusCritical);
  // Thresholds are not watched while the host is off.
  ASSERT_EQ(state.setPowerState(0), kOk);
  EXPECT_EQ(state.componentStatus("cpu0"), kStatusOk);
  ASSERT_EQ(state.setPowerState(1), kOk);
  // A flag of 0 turns its threshold off.
  ASSERT_EQ(state.setThresholds("cpu0-temp", {{0, 5, 70, 90}, {1, 1, 0, 0}}), kOk);
  EXPECT_EQ(state.componentStatus("cpu0"), kStatusOk);
  EXPECT_EQ(state.componentStatus("dimm1"), kStatusAbsent);
  EXPECT_EQ(state.componentStatus("gpu"), -kNoSuchItem);
  EXPECT_EQ(state.presence("dimm1"), 0);
  EXPECT_EQ(state.presence("cpu0"), 1);
  EXPECT_EQ(state.presence("gpu"), -kNoSuchItem);
}

struct Transition {
  const char *name;
  bool poweredBefore;
  int action;  // an action code, or -button
  int code;
  int powerAfter;
  int reasonAfter;
};

class PlatformTransition : public ::testing::TestWithParam<Transition> {};

TEST_P(PlatformTransition, ChangesPowerAndReason) {
  const Transition &t = GetParam();
  SpState state(parseScenario(kScenario, "test"));
  ASSERT_EQ(state.setPowerState(t.poweredBefore ? 1 : 0), kOk);
  const int reasonBefore = state.shutdownReason();
  const int code =
      t.action > 0 ? state.setAction(t.action, 0, 0, "test") : state.pressButton(-t.action);
  EXPECT_EQ(code, t.code);
  EXPECT_EQ(state.powerState(), t.powerAfter);
  EXPECT_EQ(state.shutdownReason(), t.reasonAfter < 0 ? reasonBefore : t.reasonAfter);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Actions, PlatformTransition, ::testing::Values(
    Transition{"PowerOnWhenOff", false, kPowerOn, kOk, 1, -1},
    Transition{"PowerOnWhenOn", true, kPowerOn, kWrongState, 1, -1},
    Transition{"Shutdown", true, kShutdown, kOk, 0, kGracefulShutdown},
    Transition{"ShutdownWhenOff", false, kShutdown, kWrongState, 0, -1},
    Transition{"PowerOff", true, kPowerOff, kOk, 0, kManagementRequest},
    Transition{"Reset", true, kResetHost, kOk, 1, kReset},
    Transition{"Cycle", true, kCycle, kOk, 1, kPowerCycle},
    Transition{"UnknownAction", true, 9, kBadValue, 1, -1},
    Transition{"PowerButtonOn", true, -kPowerButtonPress, kOk, 0, kPowerButton},
    Transition{"PowerButtonOff", false, -kPowerButtonPress, kOk, 1, -1},
    Transition{"ResetButtonWhenOff", false, -kResetButton, kWrongState, 0, -1},
    Transition{"NmiButton", true, -kNmiButton, kOk, 1, -1},
    Transition{"UnknownButton", true, -7, kBadValue, 1, -1}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(SpStateTest, NetworkResetRestoresOnlyTheNetwork) {
  ASSERT_EQ(state.setHostname(0, "other"), kOk);
  ASSERT_EQ(state.setPowerLevel(40), kOk);
  ASSERT_EQ(state.resetToDefaults(1), kOk);
  std::string hostname;
  ASSERT_EQ(state.hostname(0, hostname), kOk);
  EXPECT_EQ(hostname, "lab-sp");
  EXPECT_EQ(state.powerLevel(), 40);
  EXPECT_EQ(state.resetToDefaults(2), kBadValue);
}

TEST_F(SpStateTest, SettingsAreValidated) {
  EXPECT_EQ(state.setHostname(0, "bad_name"), kBadValue);
  EXPECT_EQ(state.setHostname(0, "-lead"), kBadValue);
  EXPECT_EQ(state.setHostname(1, "fine"), kNoSuchItem);
  EXPECT_EQ(state.setPowerLevel(101), kBadValue);
  EXPECT_EQ(state.setPowerState(2), kBadValue);
  EXPECT_EQ(state.setInterface(0, 0, {true, false, 0xC0000201u, 0xFF00FF00u, {}}, ""), kBadValue);
  EXPECT_EQ(state.setInterface(0, 0, {true, false, 0xE0000001u, {}, {}}, ""), kBadValue);
  EXPECT_EQ(state.setInterface(0, 1, {}, ""), kNoSuchItem);
  EXPECT_EQ(state.setConsole({9600, 9, 0, 1, 0}), kBadValue);
  EXPECT_EQ(state.setConsole({12345, 8, 0, 1, 0}), kBadValue);
  EXPECT_EQ(state.setDate("2026-02-30 10:00:00"), kBadValue);
  EXPECT_EQ(state.registerProcess(0, 1), kBadValue);
  EXPECT_EQ(state.notify(-1), kBadValue);
  std::string text;
  EXPECT_EQ(state.pbmString(8, text), kNoSuchItem);
}

TEST_F(SpStateTest, DhcpInterfaceReportsItsLeaseOnlyWhenItHasOne) {
  ASSERT_EQ(state.setInterface(0, 0, {true, true, {}, {}, {}}, "to dhcp"), kOk);
  InterfaceReport report;
  ASSERT_EQ(state.interface(0, 0, report), kOk);
  EXPECT_TRUE(report.settings.dhcp);
  EXPECT_FALSE(report.settings.ipAddress.has_value());  // no lease in this scenario
  EXPECT_NE(state.internalState().find("request \"to dhcp\""), std::string::npos);
}

TEST_F(SpStateTest, SensorListFiltersByKindAndComponent) {
  std::vector<std::string> ids;
  ASSERT_EQ(state.sensorList(0, 0, ids), kOk);
  EXPECT_EQ(ids, (std::vector<std::string>{"cpu0-temp", "fan0", "dimm1-temp", "product-id"}));
  ASSERT_EQ(state.sensorList(static_cast<int>(SensorKind::kTemperature), 0, ids), kOk);
  EXPECT_EQ(ids, (std::vector<std::string>{"cpu0-temp", "dimm1-temp"}));
  ASSERT_EQ(state.sensorList(0, 2, ids), kOk);
  EXPECT_EQ(ids, (std::vector<std::string>{"fan0"}));
  EXPECT_EQ(state.sensorList(7, 0, ids), kBadValue);
  EXPECT_EQ(state.sensorList(0, 4, ids), kNoSuchItem);
}

TEST_F(SpStateTest, FanDutyFollowsTheHottestTemperatureAndPower) {
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 40.0f), kOk);  // the bottom of the ramp
  EXPECT_EQ(state.fanState().duty, 30);
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 50.0f), kOk);  // half way
  EXPECT_EQ(state.fanState().duty, 65);
  ASSERT_EQ(state.setSensorValue("cpu0-temp", 75.0f), kOk);
  const FanReport hot = state.fanState();
  EXPECT_EQ(hot.duty, 100);
  EXPECT_EQ(hot.hottest, 75);
  EXPECT_EQ(hot.speeds, std::vector<int>{5000});
  ASSERT_EQ(state.setPowerState(0), kOk);
  const FanReport off = state.fanState();
  EXPECT_EQ(off.duty, 0);
  EXPECT_EQ(off.speeds, std::vector<int>{0});
}

TEST_F(SpStateTest, VrmGoodnessIsZeroWhileTheHostIsOff) {
  std::vector<int> goodness;
  ASSERT_EQ(state.vrmGoodness(2, goodness), kOk);
  EXPECT_EQ(goodness, (std::vector<int>{1, 0, 1}));
  ASSERT_EQ(state.setPowerState(0), kOk);
  ASSERT_EQ(state.vrmGoodness(2, goodness), kOk);
  EXPECT_EQ(goodness, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(state.vrmGoodness(0, goodness), kNoSuchItem);
}

TEST_F(SpStateTest, ReportsAreWellFormedAndEscapeNames) {
  const std::string xml = sensorValuesXml(state);
  EXPECT_EQ(test::xmlProblem(xml), "") << xml;
  EXPECT_NE(xml.find("name=\"fans &amp; &lt;co&gt;\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("id=\"dimm1-temp\" kind=\"temperature\" unit=\"\" available=\"no\""),
            std::string::npos);
  std::string text;
  ASSERT_EQ(environmentXml(state, "", text), kOk);
  EXPECT_EQ(test::xmlProblem(text), "") << text;
  ASSERT_EQ(componentValuesXml(state, "cpu0", text), kOk);
  EXPECT_EQ(test::xmlProblem(text), "") << text;
  EXPECT_EQ(text.find("fan0"), std::string::npos);
  EXPECT_EQ(componentValuesAscii(state, "gpu", text), kNoSuchItem);
  EXPECT_NE(sensorValuesAscii(state).find("dimm1-temp"), std::string::npos);
  EXPECT_EQ(componentStatusAll(state), "cpu0: ok\nfans & <co>: ok\ndimm1: absent\n");
  EXPECT_EQ(presenceAll(state), "cpu0: present\nfans & <co>: present\ndimm1: absent\n");
}

TEST(XmlCheck, FindsWhatIsWrong) {
  EXPECT_EQ(test::xmlProblem("<?xml version=\"1.0\"?>\n<a><b x=\"1\"/></a>\n"), "");
  EXPECT_NE(test::xmlProblem("<?xml version=\"1.0\"?>\n<a><b></a></b>"), "");
  EXPECT_NE(test::xmlProblem("<?xml version=\"1.0\"?>\n<a>&</a>"), "");
  EXPECT_NE(test::xmlProblem("<?xml version=\"1.0\"?>\n<a x=1></a>"), "");
  EXPECT_NE(test::xmlProblem("<?xml version=\"1.0\"?>\n<a></a><b></b>"), "");
  EXPECT_NE(test::xmlProblem("<a></a>"), "");
}

struct AddressCase {
  const char *text;
  std::optional<uint32_t> address;
};

TEST(Formats, AddressesAreStrictDottedQuads) {
  const AddressCase cases[] = {{"192.0.2.1", 0xC0000201u},       {"0.0.0.0", 0u},
                               {"255.255.255.255", 0xFFFFFFFFu}, {"256.0.0.1", std::nullopt},
                               {"1.2.3", std::nullopt},          {"1.2.3.4x", std::nullopt},
                               {"01.2.3.4", std::nullopt},       {" 1.2.3.4", std::nullopt}};
  for (const AddressCase &c : cases) EXPECT_EQ(parseAddress(c.text), c.address) << c.text;
  EXPECT_EQ(formatAddress(0xC0000201u), "192.0.2.1");
}

TEST(Formats, DatesReadInUtcAndWriteAsTheLibraryDoes) {
  EXPECT_EQ(parseDate("2026-01-31 12:00:00"), 1769860800);
  EXPECT_EQ(parseDate("2026-01-31T12:00:00Z"), 1769860800);
  EXPECT_EQ(parseDate("2026-01-31 12:00:00 GMT"), 1769860800);
  EXPECT_EQ(formatDate(1769860800), "2026-01-31 12:00:00 GMT");
  for (const char *bad : {"2026-1-31 12:00:00", "2026-01-31", "2026-13-01 00:00:00",
                          "2026-01-31 12:00:00 CET", "2026-04-31 00:00:00"}) {
    EXPECT_FALSE(parseDate(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace qel::simd
