// SPDX-License-Identifier: Apache-2.0
// Every URI of the service, its handlers and the privilege each method needs.
#include <algorithm>

#include "redfish/resources/resources.hpp"

namespace qel::redfish {
namespace {

constexpr Access kAnyone{kOpen};
constexpr Access kComponents{kConfigureComponents};
constexpr Access kManagerConfig{kConfigureManager};
constexpr Access kUsers{kConfigureUsers};

const Route kRoutes[] = {
    {.pattern = "/redfish", .get = root::versions, .read = kAnyone},
    {.pattern = "/redfish/v1", .get = root::serviceRoot, .read = kAnyone},
    {.pattern = "/redfish/v1/$metadata", .get = root::metadata, .read = kAnyone},
    {.pattern = "/redfish/v1/odata", .get = root::odata, .read = kAnyone},
    {.pattern = "/redfish/v1/Schemas/Qel_v1.xml", .get = root::oemSchema, .read = kAnyone},

    {.pattern = "/redfish/v1/Systems", .get = systems::collection},
    {.pattern = "/redfish/v1/Systems/system", .get = systems::system},
    {.pattern = "/redfish/v1/Systems/system/Actions/ComputerSystem.Reset",
     .post = systems::reset,
     .create = kComponents},
    {.pattern = "/redfish/v1/Systems/system/Processors", .get = systems::processors},
    {.pattern = "/redfish/v1/Systems/system/Processors/{}", .get = systems::processor},
    {.pattern = "/redfish/v1/Systems/system/Memory", .get = systems::memories},
    {.pattern = "/redfish/v1/Systems/system/Memory/{}", .get = systems::memory},

    {.pattern = "/redfish/v1/Chassis", .get = chassis::collection},
    {.pattern = "/redfish/v1/Chassis/chassis", .get = chassis::chassis},
    {.pattern = "/redfish/v1/Chassis/chassis/Sensors", .get = sensors::collection},
    {.pattern = "/redfish/v1/Chassis/chassis/Sensors/{}",
     .get = sensors::sensor,
     .patch = &sensors::kSensorPatch,
     .modify = kComponents},
    {.pattern = "/redfish/v1/Chassis/chassis/Thermal", .get = chassis::legacyThermal},
    {.pattern = "/redfish/v1/Chassis/chassis/Power", .get = chassis::legacyPower},
    {.pattern = "/redfish/v1/Chassis/chassis/ThermalSubsystem", .get = chassis::thermal},
    {.pattern = "/redfish/v1/Chassis/chassis/ThermalSubsystem/Fans", .get = chassis::fans},
    {.pattern = "/redfish/v1/Chassis/chassis/ThermalSubsystem/Fans/{}", .get = chassis::fan},
    {.pattern = "/redfish/v1/Chassis/chassis/PowerSubsystem", .get = chassis::power},
    {.pattern = "/redfish/v1/Chassis/chassis/PowerSubsystem/PowerSupplies",
     .get = chassis::supplies},
    {.pattern = "/redfish/v1/Chassis/chassis/PowerSubsystem/PowerSupplies/{}",
     .get = chassis::supply},
    {.pattern = "/redfish/v1/Chassis/chassis/PowerSubsystem/PowerSupplies/{}/Metrics",
     .get = chassis::supplyMetrics},
    {.pattern = "/redfish/v1/Chassis/chassis/Controls", .get = chassis::controls},
    {.pattern = "/redfish/v1/Chassis/chassis/Controls/{}",
     .get = chassis::control,
     .patch = &chassis::kControlPatch,
     .modify = kComponents},

    {.pattern = "/redfish/v1/Managers", .get = managers::collection},
    {.pattern = "/redfish/v1/Managers/sp",
     .get = managers::manager,
     .patch = &managers::kManagerPatch,
     .modify = kManagerConfig},
    {.pattern = "/redfish/v1/Managers/sp/Actions/Manager.Reset",
     .post = managers::reset,
     .create = kManagerConfig},
    {.pattern = "/redfish/v1/Managers/sp/Actions/Manager.ResetToDefaults",
     .post = managers::resetToDefaults,
     .create = kManagerConfig},
    {.pattern = "/redfish/v1/Managers/sp/EthernetInterfaces", .get = managers::interfaces},
    {.pattern = "/redfish/v1/Managers/sp/EthernetInterfaces/{}",
     .get = managers::interface,
     .patch = &managers::kInterfacePatch,
     .modify = kManagerConfig},
    {.pattern = "/redfish/v1/Managers/sp/NetworkProtocol", .get = managers::networkProtocol},
    {.pattern = "/redfish/v1/Managers/sp/SerialInterfaces", .get = managers::serialInterfaces},
    {.pattern = "/redfish/v1/Managers/sp/SerialInterfaces/{}",
     .get = managers::serialInterface,
     .patch = &managers::kSerialPatch,
     .modify = kManagerConfig},

    {.pattern = "/redfish/v1/SessionService",
     .get = sessions::service,
     .patch = &sessions::kServicePatch,
     .modify = kManagerConfig},
    {.pattern = "/redfish/v1/SessionService/Sessions",
     .get = sessions::collection,
     .post = sessions::login,
     .create = kAnyone},
    {.pattern = "/redfish/v1/SessionService/Sessions/{}",
     .get = sessions::session,
     .read = {kConfigureManager, Own::kSession},
     .remove = sessions::logout,
     .erase = {kConfigureManager, Own::kSession}},

    {.pattern = "/redfish/v1/AccountService",
     .get = accounts::service,
     .patch = &accounts::kServicePatch,
     .modify = kUsers},
    {.pattern = "/redfish/v1/AccountService/Accounts",
     .get = accounts::collection,
     .post = accounts::create,
     .create = kUsers},
    {.pattern = "/redfish/v1/AccountService/Accounts/{}",
     .get = accounts::account,
     .read = {kConfigureUsers, Own::kAccount},
     .patch = &accounts::kAccountPatch,
     .modify = {kConfigureUsers, Own::kAccount},
     .remove = accounts::remove,
     .erase = kUsers},
    {.pattern = "/redfish/v1/AccountService/Roles", .get = accounts::roles},
    {.pattern = "/redfish/v1/AccountService/Roles/{}", .get = accounts::role},
};

// The longest URI segment a route takes: ids are the SP's names, or the service's own.
constexpr std::size_t kLongestSegment = 255;

bool validSegment(std::string_view segment) {
  return !segment.empty() && segment.size() <= kLongestSegment &&
         std::none_of(segment.begin(), segment.end(),
                      [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace

std::span<const Route> routes() { return kRoutes; }

const Route *findRoute(std::string_view path, std::vector<std::string> &ids) {
  // One slash may end any URI; the service root is "/redfish/v1/".
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  for (const Route &route : kRoutes) {
    std::string_view rest = path, pattern = route.pattern;
    ids.clear();
    bool same = true;
    while (same && !pattern.empty() && !rest.empty()) {
      const std::size_t p = pattern.find('/', 1), r = rest.find('/', 1);
      const std::string_view want = pattern.substr(0, p), got = rest.substr(0, r);
      if (want == "/{}") {
        same = validSegment(got.substr(1));
        ids.emplace_back(got.substr(1));
      } else {
        same = want == got;
      }
      pattern = p == std::string_view::npos ? std::string_view() : pattern.substr(p);
      rest = r == std::string_view::npos ? std::string_view() : rest.substr(r);
    }
    if (same && pattern.empty() && rest.empty()) return &route;
  }
  ids.clear();
  return nullptr;
}

std::string allowedMethods(const Route &route) {
  std::string allow;
  auto add = [&](bool has, const char *method) {
    if (has) allow += (allow.empty() ? "" : ", ") + std::string(method);
  };
  add(route.get != nullptr, "GET");
  add(route.get != nullptr, "HEAD");
  add(route.patch != nullptr, "PATCH");
  add(route.post != nullptr, "POST");
  add(route.remove != nullptr, "DELETE");
  return allow;
}

}  // namespace qel::redfish
