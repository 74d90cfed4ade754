// SPDX-License-Identifier: Apache-2.0
// The simulated SP without the RPC layer: scenario files refused with a message naming the field
// and the problem, and steps run in order on one state for what only the model shows (off
// readings, set values kept, names escaped in XML); codes and settings the library reads back
// are checked through the library against the server.
#include "simulator/model/sp_state.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "simulator/model/log.hpp"
#include "simulator/model/reports.hpp"
#include "simulator/model/scenario.hpp"

namespace qel::simd {
namespace {

using nlohmann::json;

// Each spoils the shipped scenario one way; the message follows "test.json: ".
const std::pair<std::function<void(json &)>, const char *> kSpoilt[] = {
    {[](json &d) { d.erase("hostname"); }, "(top level): missing required field \"hostname\""},
    {[](json &d) { d["interfaces"][0]["ipAddress"] = "192.0.2.300"; },
     "interfaces[0].ipAddress: \"192.0.2.300\" is not a dotted-quad IPv4 address"},
    {[](json &d) { d["sensors"][0]["component"] = "gpu7"; },
     "sensors[0].component: no component named \"gpu7\""},
    {[](json &d) {
       d["fan"]["minimumDuty"] = 90;
       d["fan"]["maximumDuty"] = 40;
     },
     "fan.minimumDuty: must not exceed maximumDuty"},
};

TEST(ScenarioFile, SpoiltFilesAreRejectedNamingFieldAndProblem) {
  for (const auto &[spoil, message] : kSpoilt) {
    json document = json::parse(std::ifstream(QEL_EXAMPLE_SCENARIO));
    spoil(document);
    try {
      parseScenario(document.dump(), "test.json");
      ADD_FAILURE() << "loaded: " << message;
    } catch (const ScenarioError &error) {
      EXPECT_EQ(std::string(error.what()), std::string("test.json: ") + message);
    }
  }
}

// Deterministic readings: no wander and no boot delay.
constexpr const char *kScenario = R"({
  "hostname": "lab-sp",
  "interfaces": [{"label": "eth0", "hardwareAddress": "02:00:00:00:00:01",
                  "ipAddress": "192.0.2.10", "netmask": "255.255.255.0"}],
  "platform": {"bootSeconds": 0, "powerLevel": 80},
  "components": [{"name": "cpu0"}, {"name": "fans & <co>"}],
  "sensors": [{"id": "cpu0-temp", "component": "cpu0", "kind": "temperature", "unit": "C",
               "value": 50, "offValue": 20, "thresholds": [0, 5, 70, 90]},
              {"id": "fan0", "component": "fans & <co>", "kind": "fan", "value": 5000}]
})";

std::string n(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}
std::string value(SpState &s) {
  float v = 0;
  const int code = s.sensorValue("cpu0-temp", v);
  return code == kOk ? n(v) : "code " + n(code);
}
// Each step gives its codes and observations as one text (a braced list runs left to right).
using Step = std::function<std::vector<std::string>(SpState &)>;
const std::pair<Step, std::vector<std::string>> kSteps[] = {
    {[](SpState &s) {
       return std::vector{n(s.setPowerState(0)), value(s)};
     },
     {"0", "20"}},
    {[](SpState &s) {
       return std::vector{n(s.setSensorValue("cpu0-temp", 33.5f)), value(s)};
     },
     {"0", "33.5"}},
    {[](SpState &s) {
       return std::vector{n(s.setPowerState(1)), value(s)};
     },
     {"0", "33.5"}},  // a set value outlasts the power change
    {[](SpState &s) {
       return std::vector{n(s.resetToDefaults(0)), value(s)};
     },
     {"0", "50"}},
    {[](SpState &s) {
       const std::string xml = sensorValuesXml(s);
       return std::vector{n(xml.find("name=\"fans &amp; &lt;co&gt;\"") != std::string::npos)};
     },
     {"1"}},
};

TEST(SpStateTest, StepsInOrder) {
  setLogLevel(kLogError);
  SpState state{parseScenario(kScenario, "test")};
  int index = 0;
  for (const auto &[step, expected] : kSteps)
    EXPECT_EQ(step(state), expected) << "step " << index++;
}

}  // namespace
}  // namespace qel::simd
