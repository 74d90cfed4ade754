// SPDX-License-Identifier: Apache-2.0
// The starting state of the simulated service processor: what a scenario file describes and
// what a reset to defaults restores.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qel::simd {

struct InterfaceSpec {
  std::string label;
  std::array<uint8_t, 6> hardwareAddress{};
  bool enabled = true;
  bool dhcp = false;
  std::optional<uint32_t> ipAddress;
  std::optional<uint32_t> netmask;
  std::optional<uint32_t> gateway;
  // What the simulated DHCP server hands out while dhcp is on.
  uint32_t leaseAddress = 0;
  uint32_t leaseNetmask = 0;
  uint32_t leaseGateway = 0;
};

struct DnsSpec {
  std::array<std::optional<uint32_t>, 3> servers;
  std::string text;
};

struct PlatformSpec {
  bool poweredOn = true;
  int powerLevel = 100;  // power cap in percent
  int shutdownReason = 0;
  double bootSeconds = 5.0;  // time from power-on until the host runs
  std::map<std::string, int> types;
};

struct ComponentSpec {
  std::string name;
  std::string description;
  bool present = true;
};

enum class SensorKind { kTemperature = 1, kVoltage, kFan, kCurrent, kPower, kOther };
inline constexpr int kSensorKindCount = 6;

std::string_view kindName(SensorKind kind);
std::optional<SensorKind> kindFromName(std::string_view name);

struct SensorSpec {
  std::string id;
  std::string component;  // empty for a system-wide sensor
  SensorKind kind = SensorKind::kOther;
  std::string label;
  std::string description;
  std::string unit;
  float value = 0;     // nominal reading while the host is powered
  float offValue = 0;  // reading while the host is off
  float swing = 0;     // amplitude of the slow wander around the nominal reading
  double period = 60;  // seconds of one wander cycle
  float minimum = 0;
  float maximum = 0;
  // Lower critical, lower warning, upper warning, upper critical; a flag of 0 disables one.
  std::array<float, 4> thresholds{};
  std::array<uint8_t, 4> flags{};
  bool available = true;
};

struct VrmSpec {
  int selector = 0;
  std::vector<int> goodness;  // at most 4
};

struct ConsoleSpec {
  int baudRate = 115200;
  int dataBits = 8;
  int parity = 0;  // 0 none, 1 odd, 2 even
  int stopBits = 1;
  uint32_t flowControl = 0;
};

struct FanSpec {
  int mode = 0;  // 0 automatic, 1 manual
  int targetTemperature = 60;
  int minimumDuty = 30;
  int maximumDuty = 100;
  int periodMs = 1000;
};

// A change the scenario makes while it runs: a control command, `at` seconds after the
// scenario is loaded.
struct TimelineEntry {
  double at = 0;
  std::string command;  // the control request, as JSON text
};

struct Scenario {
  std::string name;
  std::string origin;  // "built-in" or the file it came from
  std::string hostname;
  std::optional<int64_t> date;  // simulated start time (seconds since the epoch, UTC)
  std::vector<InterfaceSpec> interfaces;
  DnsSpec dns;
  PlatformSpec platform;
  std::vector<ComponentSpec> components;
  std::vector<SensorSpec> sensors;  // includes the product-id sensor
  std::vector<VrmSpec> vrms;
  ConsoleSpec console;
  unsigned pbmSlots = 8;
  std::map<unsigned, std::string> pbmStrings;
  FanSpec fan;
  std::vector<TimelineEntry> timeline;  // in the order of `at`
};

// A scenario that cannot be used; what() names the origin, the field and the problem.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses a scenario from JSON text; throws ScenarioError.
Scenario parseScenario(std::string_view json, const std::string &origin);
// Reads and parses a scenario file; throws ScenarioError.
Scenario loadScenarioFile(const std::string &path);
// The scenario compiled into the server (the shipped example).
Scenario builtinScenario();

}  // namespace qel::simd
