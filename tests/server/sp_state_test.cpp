// The simulated SP without the RPC layer, as one table of steps run in order on one state:
// readings, thresholds, platform transitions, resets, validation, catalogue, fan and reports.
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

using S = SpState;
std::string n(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}
// The parts in order: the elements of a braced list are evaluated from left to right.
std::string cat(std::initializer_list<std::string> parts) {
  std::string joined;
  for (const std::string &part : parts) joined += part;
  return joined;
}
std::string value(S &s, const char *id) {
  float v = 0;
  const int code = s.sensorValue(id, v);
  return code == kOk ? n(v) : "code " + n(code);
}
std::string list(S &s, int kind, int component) {
  std::vector<std::string> ids;
  std::string joined = n(s.sensorList(kind, component, ids));
  for (const std::string &id : ids) joined += " " + id;
  return joined;
}
std::string hostname(S &s) {
  std::string text;
  return n(s.hostname(0, text)) + text;
}
std::string goodness(S &s, int selector) {
  std::vector<int> values;
  std::string joined = n(s.vrmGoodness(selector, values));
  for (int v : values) joined += " " + n(v);
  return joined;
}
std::string status(S &s) { return n(s.componentStatus("cpu0")); }
std::string power(S &s, int code) {
  return cat({n(s.setAction(code, 0, 0, "t")), n(s.powerState()), n(s.shutdownReason())});
}

// Run in order on one state; each step gives its codes and observations as one text.
// clang-format off
const std::pair<std::function<std::string(S &)>, std::string> kSteps[] = {
    {[](S &s) { return value(s, "cpu0-temp"); }, "50"},
    {[](S &s) { return cat({n(s.setPowerState(0)), value(s, "cpu0-temp")}); }, "020"},
    {[](S &s) { return cat({n(s.setSensorValue("cpu0-temp", 33.5f)), value(s, "cpu0-temp")}); },
     "033.5"},
    {[](S &s) { return cat({n(s.setPowerState(1)), value(s, "cpu0-temp")}); }, "033.5"},
    {[](S &s) { return cat({n(s.resetToDefaults(0)), value(s, "cpu0-temp")}); }, "050"},
    {[](S &s) { return cat({value(s, "dimm1-temp"), n(s.setSensorValue("dimm1-temp", 1))}); },
     "-30015"},
    {[](S &s) { return cat({n(s.setThresholds("dimm1-temp", {})), value(s, "no-such")}); },
     "15code 16"},
    {[](S &s) { return cat({status(s), n(s.setSensorValue("cpu0-temp", 75)), status(s)}); }, "001"},
    {[](S &s) { return cat({n(s.setSensorValue("cpu0-temp", 95)), status(s)}); }, "02"},
    {[](S &s) { return cat({n(s.setPowerState(0)), status(s), n(s.setPowerState(1))}); }, "000"},
    {[](S &s) {
       return cat({n(s.setThresholds("cpu0-temp", {{0, 5, 70, 90}, {1, 1, 0, 0}})), status(s)});
     },
     "00"},
    {[](S &s) { return cat({n(s.componentStatus("dimm1")), n(s.presence("dimm1"))}); }, "30"},
    {[](S &s) { return cat({n(s.componentStatus("gpu")), n(s.presence("gpu"))}); }, "-16-16"},
    {[](S &s) { return cat({power(s, kPowerOn), power(s, kShutdown), power(s, kShutdown)}); },
     "19110031903"},  // wrong state when on, shut down, wrong state when off
    {[](S &s) {
       return cat({n(s.pressButton(kResetButton)), n(s.pressButton(kPowerButtonPress))});
     },
     "190"},
    {[](S &s) { return cat({n(s.setAction(9, 0, 0, "t")), n(s.pressButton(7))}); }, "1717"},
    {[](S &s) {
       return cat(
           {power(s, kResetHost), power(s, kCycle), power(s, kPowerOff), n(s.setPowerState(1))});
     },
     "0140150010"},
    {[](S &s) {
       return cat({n(s.setHostname(0, "other")), n(s.setPowerLevel(40)), n(s.resetToDefaults(1)),
                   hostname(s), n(s.powerLevel()), n(s.resetToDefaults(2))});
     },
     "0000lab-sp4017"},  // the network reset keeps the rest
    {[](S &s) {
       return cat({n(s.setHostname(0, "bad_name")), n(s.setHostname(1, "fine")),
                   n(s.setPowerLevel(101)),
                   n(s.setInterface(0, 0, {true, false, 0xC0000201u, 0xFF00FF00u, {}}, "")),
                   n(s.setConsole({9600, 9, 0, 1, 0})), n(s.setDate("2026-02-30 10:00:00"))});
     },
     "171617171717"},
    {[](S &s) { return list(s, 0, 0); }, "0 cpu0-temp fan0 dimm1-temp product-id"},
    {[](S &s) { return cat({list(s, 1, 0), ",", list(s, 0, 2), ",", list(s, 7, 0)}); },
     "0 cpu0-temp dimm1-temp,0 fan0,17"},
    {[](S &s) {
       return cat({n(s.setSensorValue("cpu0-temp", 40)), n(s.fanState().duty), " ",
                   n(s.setSensorValue("cpu0-temp", 50)), n(s.fanState().duty)});
     },
     "030 065"},  // the fan ramp's foot and half way
    {[](S &s) { return cat({goodness(s, 2), ",", goodness(s, 0)}); }, "0 1 0 1,16"},
    {[](S &s) { return cat({componentStatusAll(s), presenceAll(s)}); },
     "cpu0: ok\nfans & <co>: ok\ndimm1: absent\n"
     "cpu0: present\nfans & <co>: present\ndimm1: absent\n"},
    {[](S &s) {
       return n(sensorValuesXml(s).find("name=\"fans &amp; &lt;co&gt;\"") != std::string::npos);
     },
     "1"},
    {[](S &s) { return cat({n(s.setPowerState(0)), n(s.fanState().duty), goodness(s, 2)}); },
     "000 0 0 0"},  // nothing turns while the host is off
};
// clang-format on

TEST(SpStateTest, StepsInOrder) {
  setLogLevel(kLogError);
  SpState state{parseScenario(kScenario, "test")};
  int index = 0;
  for (const auto &[step, expected] : kSteps) {
    EXPECT_EQ(step(state), expected) << "step " << index;
    ++index;
  }
}

}  // namespace
}  // namespace qel::simd
