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

TEST(ShippedScenario, LoadsAsTheBuiltInOne) {
  const Scenario scenario = loadScenarioFile(QEL_EXAMPLE_SCENARIO);
  EXPECT_EQ(scenario.name, builtinScenario().name);
  EXPECT_EQ(scenario.hostname, "sp-sim");
  EXPECT_EQ(scenario.interfaces.at(0).ipAddress, 0xC000020Au);  // 192.0.2.10
  EXPECT_EQ(scenario.sensors.back().id, kProductIdSensor);
  EXPECT_EQ(scenario.sensors.back().value, 26.0f);
}

// Each spoils the shipped scenario one way; the message follows "test.json: ".
// clang-format off
const std::pair<std::function<void(json &)>, const char *> kSpoilt[] = {
    {[](json &d) { d.erase("hostname"); }, "(top level): missing required field \"hostname\""},
    {[](json &d) { d["platform"]["powerLevel"] = 150; }, "platform.powerLevel: must be from 0 to 100"},
    {[](json &d) { d["interfaces"][0]["ipAddress"] = "192.0.2.300"; }, "interfaces[0].ipAddress: \"192.0.2.300\" is not a dotted-quad IPv4 address"},
    {[](json &d) { d["interfaces"][0]["netmask"] = "255.0.255.0"; }, "interfaces[0].netmask: not a contiguous netmask"},
    {[](json &d) { d["dns"]["servers"] = {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4"}; }, "dns.servers: at most 3 entries allowed"},
    {[](json &d) { d["sensors"][0]["component"] = "gpu7"; }, "sensors[0].component: no component named \"gpu7\""},
    {[](json &d) { d["sensors"][0]["thresholdFlags"] = {1, 1, 1, 256}; }, "sensors[0].thresholdFlags[3]: must be from 0 to 255"},
    {[](json &d) { d["sensors"][0]["id"] = "product-id"; }, "sensors[0].id: \"product-id\" is set by the top-level productId"},
    {[](json &d) { d["fan"]["minimumDuty"] = 90; d["fan"]["maximumDuty"] = 40; }, "fan.minimumDuty: must not exceed maximumDuty"},
};
// clang-format on

TEST(ScenarioFile, SpoiltFilesAreRejectedNamingFieldAndProblem) {
  for (const auto &[spoil, message] : kSpoilt) {
    json document = example();
    spoil(document);
    try {
      parseScenario(document.dump(), "test.json");
      ADD_FAILURE() << "loaded: " << message;
    } catch (const ScenarioError &error) {
      EXPECT_EQ(std::string(error.what()), std::string("test.json: ") + message);
    }
  }
}

}  // namespace
}  // namespace qel::simd
