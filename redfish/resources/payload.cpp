// SPDX-License-Identifier: Apache-2.0
#include "redfish/resources/payload.hpp"

#include <cctype>

#include "tools/utc_text.hpp"

namespace qel::redfish {
namespace {

constexpr Schema kInUse[] = {kServiceRoot,
                             kComputerSystem,
                             kProcessor,
                             kMemory,
                             kChassis,
                             kSensor,
                             kThermalSubsystem,
                             kFan,
                             kPowerSubsystem,
                             kPowerSupply,
                             kPowerSupplyMetrics,
                             kControl,
                             kThermal,
                             kPower,
                             kManager,
                             kEthernetInterface,
                             kNetworkProtocol,
                             kSerialInterface,
                             kSessionService,
                             kSession,
                             kAccountService,
                             kManagerAccount,
                             kRole};
constexpr std::string_view kCollections[] = {
    "ComputerSystem", "Processor", "Memory",  "Chassis",           "Sensor",          "Fan",
    "PowerSupply",    "Control",   "Manager", "EthernetInterface", "SerialInterface", "Session",
    "ManagerAccount", "Role"};

}  // namespace

std::string Schema::type() const {
  const std::string n(name);
  return version.empty() ? "#" + n + "." + n : "#" + n + "." + std::string(version) + "." + n;
}

std::span<const Schema> schemasInUse() { return kInUse; }
std::span<const std::string_view> collectionsInUse() { return kCollections; }

Json link(std::string_view uri) { return Json{{"@odata.id", uri}}; }

Json resource(const Schema &schema, std::string_view uri, std::string_view id,
              std::string_view name) {
  return Json{{"@odata.id", uri}, {"@odata.type", schema.type()}, {"Id", id}, {"Name", name}};
}

Json collection(std::string_view name, std::string_view uri, std::string_view title,
                const std::vector<std::string> &members) {
  const std::string type = std::string(name) + "Collection";
  Json links = Json::array();
  for (const std::string &member : members) links.push_back(link(member));
  return Json{{"@odata.id", uri},
              {"@odata.type", "#" + type + "." + type},
              {"Name", title},
              {"Members", links},
              {"Members@odata.count", members.size()}};
}

std::string uriSegment(std::string_view id) {
  // "." and ".." alone would be taken for path steps.
  const bool dots = id.find_first_not_of('.') == std::string_view::npos;
  std::string segment;
  for (unsigned char c : id) {
    if (std::isalnum(c) || c == '-' || (c == '.' && !dots) || c == '_' || c == '~') {
      segment += static_cast<char>(c);
    } else {
      segment += '%';
      segment += "0123456789ABCDEF"[c >> 4];
      segment += "0123456789ABCDEF"[c & 15];
    }
  }
  return segment;
}

std::string timestamp(std::chrono::system_clock::time_point time) {
  return tools::utcText(std::chrono::system_clock::to_time_t(time), "%Y-%m-%dT%H:%M:%S+00:00");
}

Json status(std::string_view state, std::string_view health) {
  Json result{{"State", state}};
  if (!health.empty()) result["Health"] = health;
  return result;
}

}  // namespace qel::redfish
