// SPDX-License-Identifier: Apache-2.0
// Reading a scenario: the JSON document checked field by field into the starting state of the
// simulated SP. Sensors and components are read in scenario_sensors.cpp.
#include "simulator/model/scenario.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "simulator/model/formats.hpp"
#include "simulator/model/scenario_reader.hpp"
#include "simulator/model/scenario_sensors.hpp"
#include "simulator/model/timeline.hpp"
#include "tools/network_text.hpp"

namespace qel::simd {

namespace {

constexpr int64_t kIntMax = std::numeric_limits<int>::max();
constexpr int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::size_t kMaxInterfaces = 16;
constexpr std::size_t kMaxLabel = 32;  // what an interface record can carry

// Names must be unique within their list; `what` names the list in the message.
void claimUnique(std::set<std::string> &seen, const JsonNode &node, const std::string &name) {
  if (name.empty()) node.fail("must not be empty");
  if (!seen.insert(name).second) node.fail("duplicate name \"" + name + "\"");
}

InterfaceSpec readInterface(const JsonNode &node) {
  node.allowOnly(
      {"label", "hardwareAddress", "enabled", "dhcp", "ipAddress", "netmask", "gateway", "lease"});
  InterfaceSpec spec;
  const JsonNode label = node.required("label");
  spec.label = label.text();
  if (spec.label.size() > kMaxLabel) label.fail("at most 32 characters");
  const JsonNode hardware = node.required("hardwareAddress");
  auto address = parseHardwareAddress(hardware.text());
  if (!address)
    hardware.fail("\"" + hardware.text() + "\" is not six hex pairs like 02:00:5e:00:00:01");
  spec.hardwareAddress = *address;
  node.read("enabled", spec.enabled);
  node.read("dhcp", spec.dhcp);
  node.read("ipAddress", spec.ipAddress);
  node.read("netmask", spec.netmask);
  node.read("gateway", spec.gateway);
  if (spec.netmask && !tools::isContiguousNetmask(*spec.netmask)) {
    node.required("netmask").fail("not a contiguous netmask");
  }
  if (auto lease = node.optional("lease")) {
    lease->allowOnly({"ipAddress", "netmask", "gateway"});
    spec.leaseAddress = lease->required("ipAddress").address();
    spec.leaseNetmask = lease->required("netmask").address();
    spec.leaseGateway = lease->required("gateway").address();
  }
  return spec;
}

DnsSpec readDns(const JsonNode &node) {
  node.allowOnly({"servers", "text"});
  DnsSpec spec;
  if (auto servers = node.optional("servers")) {
    auto entries = servers->items(spec.servers.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!entries[i].isNull()) spec.servers[i] = entries[i].address();
    }
  }
  node.read("text", spec.text);
  return spec;
}

PlatformSpec readPlatform(const JsonNode &node) {
  node.allowOnly({"poweredOn", "powerLevel", "shutdownReason", "bootSeconds", "types"});
  PlatformSpec spec;
  node.read("poweredOn", spec.poweredOn);
  node.read("powerLevel", spec.powerLevel, 0, 100);
  node.read("shutdownReason", spec.shutdownReason, 0, kIntMax);
  node.read("bootSeconds", spec.bootSeconds);
  if (spec.bootSeconds < 0) node.required("bootSeconds").fail("must not be negative");
  if (auto types = node.optional("types")) {
    for (const auto &[key, value] : types->members()) {
      spec.types[key] = static_cast<int>(value.integer(kIntMin, kIntMax));
    }
  }
  return spec;
}

VrmSpec readVrm(const JsonNode &node) {
  node.allowOnly({"selector", "goodness"});
  VrmSpec spec;
  spec.selector = static_cast<int>(node.required("selector").integer(kIntMin, kIntMax));
  for (const JsonNode &value : node.required("goodness").items(4)) {
    spec.goodness.push_back(static_cast<int>(value.integer(kIntMin, kIntMax)));
  }
  return spec;
}

template <typename Spec>
struct IntegerField {
  std::string_view key;
  int Spec::*member;
  int64_t minimum;
  int64_t maximum;
};

// Reads the whole-number fields of a section that are present, each checked against its range.
template <typename Spec>
void readIntegers(const JsonNode &node, Spec &spec,
                  std::initializer_list<IntegerField<Spec>> fields) {
  for (const IntegerField<Spec> &field : fields) {
    node.read(field.key, spec.*field.member, field.minimum, field.maximum);
  }
}

ConsoleSpec readConsole(const JsonNode &node) {
  node.allowOnly({"baudRate", "dataBits", "parity", "stopBits", "flowControl"});
  ConsoleSpec spec;
  readIntegers<ConsoleSpec>(node, spec,
                            {{"baudRate", &ConsoleSpec::baudRate, 300, 921600},
                             {"dataBits", &ConsoleSpec::dataBits, 5, 8},
                             {"parity", &ConsoleSpec::parity, 0, 2},
                             {"stopBits", &ConsoleSpec::stopBits, 1, 2}});
  node.read("flowControl", spec.flowControl, 0, 0xFFFFFFFF);
  return spec;
}

FanSpec readFan(const JsonNode &node) {
  node.allowOnly({"mode", "targetTemperature", "minimumDuty", "maximumDuty", "periodMs"});
  FanSpec spec;
  readIntegers<FanSpec>(node, spec,
                        {{"mode", &FanSpec::mode, 0, 1},
                         {"targetTemperature", &FanSpec::targetTemperature, 0, 150},
                         {"minimumDuty", &FanSpec::minimumDuty, 0, 100},
                         {"maximumDuty", &FanSpec::maximumDuty, 0, 100},
                         {"periodMs", &FanSpec::periodMs, 1, 3600000}});
  if (spec.minimumDuty > spec.maximumDuty) {
    node.required("minimumDuty").fail("must not exceed maximumDuty");
  }
  return spec;
}

void readPbm(const JsonNode &node, Scenario &scenario) {
  node.allowOnly({"slots", "strings"});
  node.read("slots", scenario.pbmSlots, 1, 1024);
  if (auto strings = node.optional("strings")) {
    for (const auto &[key, value] : strings->members()) {
      unsigned slot = 0;
      if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos ||
          (slot = static_cast<unsigned>(std::stoul(key))) >= scenario.pbmSlots) {
        value.fail("the key must be a slot number below pbm.slots");
      }
      scenario.pbmStrings[slot] = value.text();
    }
  }
}

template <typename Spec, typename ReadOne>
std::vector<Spec> readList(const JsonNode &list, std::size_t maximum, ReadOne readOne) {
  std::vector<Spec> result;
  for (const JsonNode &node : list.items(maximum)) result.push_back(readOne(node));
  return result;
}

Scenario readScenario(const JsonNode &root, const std::string &origin) {
  root.allowOnly({"name", "hostname", "date", "interfaces", "dns", "platform", "components",
                  "sensors", "productId", "vrms", "console", "pbm", "fan", "timeline"});
  Scenario scenario;
  scenario.origin = origin;
  root.read("name", scenario.name);
  scenario.hostname = root.required("hostname").text();
  if (auto date = root.optional("date")) {
    scenario.date = parseDate(date->text());
    if (!scenario.date) date->fail("expected a date like 2026-01-31 12:00:00");
  }
  const JsonNode interfaces = root.required("interfaces");
  scenario.interfaces = readList<InterfaceSpec>(interfaces, kMaxInterfaces, readInterface);
  if (scenario.interfaces.empty()) interfaces.fail("at least one interface is needed");
  if (auto dns = root.optional("dns")) scenario.dns = readDns(*dns);
  if (auto platform = root.optional("platform")) scenario.platform = readPlatform(*platform);

  std::set<std::string> componentNames;
  for (const JsonNode &node : root.required("components").items(1000)) {
    scenario.components.push_back(readComponent(node));
    claimUnique(componentNames, node.required("name"), scenario.components.back().name);
  }
  std::set<std::string> sensorIds;
  for (const JsonNode &node : root.required("sensors").items(10000)) {
    scenario.sensors.push_back(readSensor(node, componentNames));
    claimUnique(sensorIds, node.required("id"), scenario.sensors.back().id);
  }
  scenario.sensors.push_back(productSensor(root.optional("productId")));

  if (auto vrms = root.optional("vrms")) scenario.vrms = readList<VrmSpec>(*vrms, 64, readVrm);
  if (auto console = root.optional("console")) scenario.console = readConsole(*console);
  if (auto pbm = root.optional("pbm")) readPbm(*pbm, scenario);
  if (auto fan = root.optional("fan")) scenario.fan = readFan(*fan);
  if (auto timeline = root.optional("timeline")) scenario.timeline = readTimeline(*timeline);
  return scenario;
}

}  // namespace

Scenario parseScenario(std::string_view json, const std::string &origin) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json);
  } catch (const nlohmann::json::parse_error &error) {
    // The library's message repeats the byte offset; keep just the reason.
    std::string reason = error.what();
    if (auto colon = reason.rfind(": "); colon != std::string::npos) reason.erase(0, colon + 2);
    throw ScenarioError(origin + ": not valid JSON at byte " + std::to_string(error.byte) + ": " +
                        reason);
  }
  return readScenario(JsonNode(document, "", origin), origin);
}

Scenario loadScenarioFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ScenarioError(path + ": cannot be read: " + std::strerror(errno));
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw ScenarioError(path + ": cannot be read: " + std::strerror(errno));
  return parseScenario(text.str(), path);
}

}  // namespace qel::simd
