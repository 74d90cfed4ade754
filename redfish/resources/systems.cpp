// SPDX-License-Identifier: Apache-2.0
// The host: its power and platform state, reset, processors and memory.
#include <algorithm>
#include <array>

#include "lib/protocol/server_contract.hpp"
#include "redfish/base_messages.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "redfish/resources/sp_reads.hpp"
#include "tools/heap_texts.hpp"
#include "tools/log.hpp"

namespace qel::redfish::systems {
namespace {

constexpr std::string_view kResetAction = "ComputerSystem.Reset";

// The reset types the platform's operations carry out: a platform action (1 power on,
// 2 graceful shutdown, 3 power off, 4 reset, 5 power cycle) or a button (1 power, 3 NMI).
struct ResetWay {
  std::string_view type;
  bool button;
  int code;
};
constexpr ResetWay kResetWays[] = {{"On", false, 1},         {"GracefulShutdown", false, 2},
                                   {"ForceOff", false, 3},   {"ForceRestart", false, 4},
                                   {"PowerCycle", false, 5}, {"PushPowerButton", true, 1},
                                   {"Nmi", true, 3}};
constexpr auto kResetTypes = [] {
  std::array<std::string_view, std::size(kResetWays)> types{};
  for (std::size_t i = 0; i < types.size(); ++i) types[i] = kResetWays[i].type;
  return types;
}();

// The management server's shutdown reasons, 0 to 5.
constexpr std::string_view kShutdownReasons[] = {
    "None", "ManagementRequest", "PowerButton", "GracefulShutdown", "Reset", "PowerCycle"};

std::string memberUri(std::string_view collection, const std::string &name) {
  return std::string(kSystemUri) + "/" + std::string(collection) + "/" + uriSegment(name);
}

std::vector<std::string> memberUris(Exchange &ex, ComponentKind kind, std::string_view collection) {
  std::vector<std::string> uris;
  for (const Component &c : components(ex.sp)) {
    if (kindOf(c.name) == kind) uris.push_back(memberUri(collection, c.name));
  }
  return uris;
}

Json summaryStatus(const std::vector<Component> &all, ComponentKind kind, int &present) {
  std::vector<Component> some;
  std::copy_if(all.begin(), all.end(), std::back_inserter(some),
               [&](const Component &c) { return kindOf(c.name) == kind; });
  present = static_cast<int>(
      std::count_if(some.begin(), some.end(), [](const Component &c) { return c.present; }));
  return {{"State", "Enabled"}, {"HealthRollup", worstHealth(some)}};
}

// The product's name (with the product map) and number (the "product-id" sensor), when the SP
// has them.
void addProduct(Exchange &ex, Json &system) {
  char *name = nullptr;
  if (ex.sp.call([&] { return qelGetProductId(&name); }) == RESULT_OK) {
    system["Model"] = tools::takenText(name);
  }
  float number = QEL_NO_READING;
  if (ex.sp.call([&] { return qelSysGetSensorValue(kProductIdSensor, &number); }) == RESULT_OK &&
      number != QEL_NO_READING && number >= 0) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(number));
    system["SKU"] = text;
  }
}

}  // namespace

Json collection(Exchange &) {
  return redfish::collection("ComputerSystem", "/redfish/v1/Systems", "Computer Systems",
                             {std::string(kSystemUri)});
}

Json system(Exchange &ex) {
  int power = 0, state = 0, reason = 0;
  ex.sp.must([&] { return qelPlatformGetPowerState(&power); });
  ex.sp.must([&] { return qelPlatformGetState(&state); });
  ex.sp.must([&] { return qelPlatformGetShutdownReason(&reason); });
  const std::vector<Component> all = components(ex.sp);
  Json system = resource(kComputerSystem, kSystemUri, "system", "Host");
  system["SystemType"] = "Physical";
  // Platform state 0 off, 1 booting, 2 running.
  system["PowerState"] = power == 0 ? "Off" : state == 1 ? "PoweringOn" : "On";
  system["Status"] = {{"State", power == 0   ? "StandbyOffline"
                                : state == 1 ? "Starting"
                                             : "Enabled"},
                      {"Health", worstHealth(all)},
                      {"HealthRollup", worstHealth(all)}};
  addProduct(ex, system);
  system["Boot"] = Json::object();  // no boot override: an empty object says so to clients
  int cpus = 0, dimms = 0;
  system["ProcessorSummary"]["Status"] = summaryStatus(all, ComponentKind::kProcessor, cpus);
  system["ProcessorSummary"]["Count"] = cpus;
  system["MemorySummary"]["Status"] = summaryStatus(all, ComponentKind::kMemory, dimms);
  system["Processors"] = link(std::string(kSystemUri) + "/Processors");
  system["Memory"] = link(std::string(kSystemUri) + "/Memory");
  system["Links"] = {{"Chassis", {link(kChassisUri)}}, {"ManagedBy", {link(kManagerUri)}}};
  system["Actions"]["#" + std::string(kResetAction)] = {
      {"target", std::string(kSystemUri) + "/Actions/" + std::string(kResetAction)},
      {"ResetType@Redfish.AllowableValues", kResetTypes}};
  const bool known = reason >= 0 && reason < static_cast<int>(std::size(kShutdownReasons));
  system["Oem"]["Qel"] = {{"@odata.type", "#Qel.v1_0_0.ComputerSystem"},
                          {"LastShutdownReason", known ? kShutdownReasons[reason] : "Unknown"}};
  return system;
}

void reset(Exchange &ex) {
  const Json body = parseBody(ex.request.body, ex.request.headers.find("Content-Type"));
  static constexpr Field kFields[] = {{"ResetType", ValueKind::kString, true}};
  checkFields(body, kFields, kResetAction);
  const std::string type = chosenValue(body, kResetAction, "ResetType", kResetTypes);
  const ResetWay &way = *std::find_if(std::begin(kResetWays), std::end(kResetWays),
                                      [&](const ResetWay &w) { return w.type == type; });
  const std::string note = "qel-redfishd " + type + " by " + ex.caller.userName;
  const unsigned code = ex.sp.call([&] {
    return way.button ? qelPlatformButton(way.code)
                      : qelPlatformSetAction(way.code, 0, 0, note.c_str());
  });
  if (code != RESULT_OK) throw SpLink::actionRefusal(code, kResetAction, type);
  tools::logLine(tools::LogLevel::kInfo,
                 "user=" + tools::logValue(ex.caller.userName) + " reset=" + type, "host reset");
  ex.response.status = 204;
}

Json processors(Exchange &ex) {
  return redfish::collection("Processor", std::string(kSystemUri) + "/Processors", "Processors",
                             memberUris(ex, ComponentKind::kProcessor, "Processors"));
}

Json processor(Exchange &ex) {
  const Component c = component(ex.sp, ComponentKind::kProcessor, ex.ids[0], "Processor");
  Json payload =
      resource(kProcessor, memberUri("Processors", c.name), c.name, "Processor " + c.name);
  payload["ProcessorType"] = "CPU";
  payload["Socket"] = c.name;
  payload["Status"] = componentStatus(c);
  return payload;
}

Json memories(Exchange &ex) {
  return redfish::collection("Memory", std::string(kSystemUri) + "/Memory", "Memory",
                             memberUris(ex, ComponentKind::kMemory, "Memory"));
}

Json memory(Exchange &ex) {
  const Component c = component(ex.sp, ComponentKind::kMemory, ex.ids[0], "Memory");
  Json payload = resource(kMemory, memberUri("Memory", c.name), c.name, "Memory module " + c.name);
  payload["DeviceLocator"] = c.name;
  payload["Status"] = componentStatus(c);
  return payload;
}

}  // namespace qel::redfish::systems
