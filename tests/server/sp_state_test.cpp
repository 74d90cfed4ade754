// The simulated SP without the RPC layer, as steps run in order on one state: what only the
// model shows (off readings, set values kept, names escaped in XML); codes and settings the
// library reads back are checked through the library against the server.
#include "server/sp_state.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "server/log.hpp"
#include "server/reports.hpp"

namespace qel::simd {
namespace {

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
// clang-format off
const std::pair<Step, std::vector<std::string>> kSteps[] = {
    {[](SpState &s) { return std::vector{n(s.setPowerState(0)), value(s)}; }, {"0", "20"}},
    {[](SpState &s) { return std::vector{n(s.setSensorValue("cpu0-temp", 33.5f)), value(s)}; },
     {"0", "33.5"}},
    {[](SpState &s) { return std::vector{n(s.setPowerState(1)), value(s)}; },
     {"0", "33.5"}},  // a set value outlasts the power change
    {[](SpState &s) { return std::vector{n(s.resetToDefaults(0)), value(s)}; }, {"0", "50"}},
    {[](SpState &s) {
       const std::string xml = sensorValuesXml(s);
       return std::vector{n(xml.find("name=\"fans &amp; &lt;co&gt;\"") != std::string::npos)};
     }, {"1"}},
};
// clang-format on

TEST(SpStateTest, StepsInOrder) {
  setLogLevel(kLogError);
  SpState state{parseScenario(kScenario, "test")};
  int index = 0;
  for (const auto &[step, expected] : kSteps)
    EXPECT_EQ(step(state), expected) << "step " << index++;
}

}  // namespace
}  // namespace qel::simd
