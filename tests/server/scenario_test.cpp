// Scenario files: the shipped example, and every kind of bad file with the message it gets.
#include "server/scenario.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

namespace qel::simd {
namespace {

using nlohmann::json;

json example() {
  std::ifstream file(QEL_EXAMPLE_SCENARIO);
  return json::parse(file);
}

TEST(ShippedScenario, LoadsWithWhatItDescribes) {
  const Scenario scenario = loadScenarioFile(QEL_EXAMPLE_SCENARIO);
  EXPECT_EQ(scenario.origin, QEL_EXAMPLE_SCENARIO);
  EXPECT_EQ(scenario.hostname, "sp-sim");
  ASSERT_EQ(scenario.interfaces.size(), 2u);
  EXPECT_EQ(scenario.interfaces[0].ipAddress, 0xC000020Au);  // 192.0.2.10
  EXPECT_EQ(scenario.interfaces[0].hardwareAddress,
            (std::array<uint8_t, 6>{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}));
  EXPECT_TRUE(scenario.interfaces[1].dhcp);
  EXPECT_EQ(scenario.dns.servers[0], 0xC0000235u);
  EXPECT_FALSE(scenario.dns.servers[2].has_value());
  EXPECT_EQ(scenario.platform.types.at("board"), 17);
  ASSERT_FALSE(scenario.sensors.empty());
  const SensorSpec &product = scenario.sensors.back();
  EXPECT_EQ(product.id, kProductIdSensor);
  EXPECT_EQ(product.value, 26.0f);
  EXPECT_TRUE(product.available);
  EXPECT_EQ(scenario.pbmStrings.at(1), "POST complete");
}

TEST(ShippedScenario, IsTheBuiltInOne) {
  const Scenario file = loadScenarioFile(QEL_EXAMPLE_SCENARIO);
  const Scenario builtin = builtinScenario();
  EXPECT_EQ(builtin.origin, "built-in");
  EXPECT_EQ(builtin.name, file.name);
  EXPECT_EQ(builtin.sensors.size(), file.sensors.size());
  EXPECT_EQ(builtin.components.size(), file.components.size());
}

TEST(ScenarioFile, NullProductIdMakesTheSensorUnavailable) {
  json document = example();
  document["productId"] = nullptr;
  const Scenario scenario = parseScenario(document.dump(), "test.json");
  EXPECT_FALSE(scenario.sensors.back().available);
}

TEST(ScenarioFile, MissingFileNamesTheFileAndTheReason) {
  try {
    loadScenarioFile("/nonexistent/scenario.json");
    FAIL() << "a missing file loaded";
  } catch (const ScenarioError &error) {
    EXPECT_STREQ(error.what(),
                 "/nonexistent/scenario.json: cannot be read: No such file or directory");
  }
}

struct BadCase {
  const char *name;
  std::function<void(json &)> spoil;
  const char *message;  // after "test.json: "
};

class BadScenario : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadScenario, IsRejectedNamingFieldAndProblem) {
  json document = example();
  GetParam().spoil(document);
  try {
    parseScenario(document.dump(), "test.json");
    FAIL() << "the spoilt scenario loaded";
  } catch (const ScenarioError &error) {
    EXPECT_EQ(std::string(error.what()), std::string("test.json: ") + GetParam().message);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, BadScenario, ::testing::Values(
    BadCase{"NotAnObject", [](json &d) { d = json::array(); }, "(top level): expected an object"},
    BadCase{"MissingField", [](json &d) { d.erase("hostname"); }, "(top level): missing required field \"hostname\""},
    BadCase{"WrongType", [](json &d) { d["hostname"] = 5; }, "hostname: expected a string"},
    BadCase{"UnknownField", [](json &d) { d["sensors"][1]["treshold"] = 1; }, "sensors[1].treshold: unknown field"},
    BadCase{"OutOfRange", [](json &d) { d["platform"]["powerLevel"] = 150; }, "platform.powerLevel: must be from 0 to 100"},
    BadCase{"NotWhole", [](json &d) { d["platform"]["powerLevel"] = 50.5; }, "platform.powerLevel: expected a whole number"},
    BadCase{"NegativeBoot", [](json &d) { d["platform"]["bootSeconds"] = -1; }, "platform.bootSeconds: must not be negative"},
    BadCase{"BadAddress", [](json &d) { d["interfaces"][0]["ipAddress"] = "192.0.2.300"; }, "interfaces[0].ipAddress: \"192.0.2.300\" is not a dotted-quad IPv4 address"},
    BadCase{"BadNetmask", [](json &d) { d["interfaces"][0]["netmask"] = "255.0.255.0"; }, "interfaces[0].netmask: not a contiguous netmask"},
    BadCase{"BadHardwareAddress", [](json &d) { d["interfaces"][1]["hardwareAddress"] = "02:00:5e"; }, "interfaces[1].hardwareAddress: \"02:00:5e\" is not six hex pairs like 02:00:5e:00:00:01"},
    BadCase{"LongLabel", [](json &d) { d["interfaces"][0]["label"] = std::string(33, 'x'); }, "interfaces[0].label: at most 32 characters"},
    BadCase{"NoInterface", [](json &d) { d["interfaces"] = json::array(); }, "interfaces: at least one interface is needed"},
    BadCase{"TooManyDnsServers", [](json &d) { d["dns"]["servers"] = {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4"}; }, "dns.servers: at most 3 entries allowed"},
    BadCase{"DuplicateComponent", [](json &d) { d["components"][1]["name"] = "system"; }, "components[1].name: duplicate name \"system\""},
    BadCase{"DuplicateSensor", [](json &d) { d["sensors"][1]["id"] = "ambient-temp"; }, "sensors[1].id: duplicate name \"ambient-temp\""},
    BadCase{"UnknownComponent", [](json &d) { d["sensors"][0]["component"] = "gpu7"; }, "sensors[0].component: no component named \"gpu7\""},
    BadCase{"UnknownKind", [](json &d) { d["sensors"][0]["kind"] = "humidity"; }, "sensors[0].kind: unknown kind \"humidity\" (temperature, voltage, fan, current, power or other)"},
    BadCase{"ThreeThresholds", [](json &d) { d["sensors"][0]["thresholds"] = {1, 2, 3}; }, "sensors[0].thresholds: expected 4 numbers"},
    BadCase{"FlagOutOfRange", [](json &d) { d["sensors"][0]["thresholdFlags"] = {1, 1, 1, 256}; }, "sensors[0].thresholdFlags[3]: must be from 0 to 255"},
    BadCase{"ZeroPeriod", [](json &d) { d["sensors"][0]["period"] = 0; }, "sensors[0].period: must be greater than 0"},
    BadCase{"ReservedSensor", [](json &d) { d["sensors"][0]["id"] = "product-id"; }, "sensors[0].id: \"product-id\" is set by the top-level productId"},
    BadCase{"BadDate", [](json &d) { d["date"] = "yesterday"; }, "date: expected a date like 2026-01-31 12:00:00"},
    BadCase{"TooMuchGoodness", [](json &d) { d["vrms"][0]["goodness"] = {1, 1, 1, 1, 1}; }, "vrms[0].goodness: at most 4 entries allowed"},
    BadCase{"PbmSlotOutside", [](json &d) { d["pbm"]["strings"]["8"] = "x"; }, "pbm.strings.8: the key must be a slot number below pbm.slots"},
    BadCase{"DutyInverted", [](json &d) { d["fan"]["minimumDuty"] = 90; d["fan"]["maximumDuty"] = 40; }, "fan.minimumDuty: must not exceed maximumDuty"},
    BadCase{"BadBaudRateType", [](json &d) { d["console"]["baudRate"] = "fast"; }, "console.baudRate: expected a number"}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(ScenarioFile, SyntaxErrorNamesTheByte) {
  try {
    parseScenario("{\"hostname\": }", "broken.json");
    FAIL() << "broken JSON loaded";
  } catch (const ScenarioError &error) {
    EXPECT_EQ(std::string(error.what()).rfind("broken.json: not valid JSON at byte 14: ", 0), 0u)
        << error.what();
  }
}

}  // namespace
}  // namespace qel::simd
