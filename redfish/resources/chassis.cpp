// SPDX-License-Identifier: Apache-2.0
// The chassis: its status from the components, the fans (from the fan sensors), the power
// supplies (the supply components and their sensors) and the power level as a control.
#include "redfish/base_messages.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "redfish/resources/sp_reads.hpp"

namespace qel::redfish::chassis {
namespace {

const std::string kThermalSubsystemUri = std::string(kChassisUri) + "/ThermalSubsystem";
const std::string kFansUri = kThermalSubsystemUri + "/Fans";
const std::string kPowerSubsystemUri = std::string(kChassisUri) + "/PowerSubsystem";
const std::string kSuppliesUri = kPowerSubsystemUri + "/PowerSupplies";
const std::string kControlsUri = std::string(kChassisUri) + "/Controls";
constexpr std::string_view kPowerLimit = "PowerLimit";
constexpr int kLowestLevel = 0, kHighestLevel = 100;  // the power level is a cap in percent

constexpr Writable kControlWritable[] = {{"/SetPoint", ValueKind::kInteger}};

bool isFan(const tools::SensorMapping &mapping, const SensorInfo &info) {
  const tools::SensorRule *rule = mapping.ruleFor(info);
  return rule && rule->quantity == tools::Quantity::kFanSpeed;
}

std::vector<Component> supplyComponents(Exchange &ex) {
  std::vector<Component> supplies;
  for (Component &c : components(ex.sp)) {
    if (kindOf(c.name) == ComponentKind::kPowerSupply) supplies.push_back(std::move(c));
  }
  return supplies;
}

std::string rollup(const std::vector<SensorData> &sensors) {
  int worst = 0;
  for (const SensorData &s : sensors) {
    const std::string_view health = sensorHealth(s);
    worst = std::max(worst, health == "Critical" ? 2 : health == "Warning" ? 1 : 0);
  }
  return std::string(healthOf(worst));
}

Json fanPayload(const SensorData &data) {
  Json fan = resource(kFan, kFansUri + "/" + uriSegment(data.id), data.id, sensorLabel(data));
  const bool reads = data.value != QEL_NO_READING;
  fan["SpeedPercent"] = {{"SpeedRPM", reads ? Json(scaled(data, data.value)) : Json(nullptr)}};
  fan["Status"] = reads ? status("Enabled", sensorHealth(data)) : status("UnavailableOffline");
  return fan;
}

// {"Reading", "DataSourceUri"}: a sensor's reading where another resource shows it.
Json excerpt(const SensorData &data) {
  const bool reads = data.value != QEL_NO_READING;
  return {{"DataSourceUri", sensorUri(data.id)},
          {"Reading", reads ? Json(scaled(data, data.value)) : Json(nullptr)}};
}

void applyPowerLevel(Exchange &ex, PatchPlan &plan) {
  const Json *value = plan.value("/SetPoint");
  const long long level = value->get<long long>();
  if (level < kLowestLevel || level > kHighestLevel) {
    plan.refuse("/SetPoint", base::propertyValueOutOfRange(std::to_string(level), "SetPoint"));
    return;
  }
  const unsigned code =
      ex.sp.call([&] { return qelPlatformSetPowerLevel(static_cast<int>(level)); });
  if (code != RESULT_OK) {
    plan.refuse("/SetPoint", SpLink::propertyRefusal(code, "SetPoint", std::to_string(level)));
    return;
  }
  ++plan.applied;
}

}  // namespace

const PatchRule kControlPatch{kControlWritable, applyPowerLevel};

Json collection(Exchange &) {
  return redfish::collection("Chassis", "/redfish/v1/Chassis", "Chassis",
                             {std::string(kChassisUri)});
}

Json chassis(Exchange &ex) {
  int power = 0;
  ex.sp.must([&] { return qelPlatformGetPowerState(&power); });
  const std::string health(worstHealth(components(ex.sp)));
  Json chassis = resource(kChassis, kChassisUri, "chassis", "Chassis");
  chassis["ChassisType"] = "RackMount";
  chassis["PowerState"] = power ? "On" : "Off";
  chassis["Status"] = {{"State", "Enabled"}, {"Health", health}, {"HealthRollup", health}};
  chassis["Sensors"] = link(std::string(kChassisUri) + "/Sensors");
  chassis["ThermalSubsystem"] = link(kThermalSubsystemUri);
  chassis["PowerSubsystem"] = link(kPowerSubsystemUri);
  chassis["Controls"] = link(kControlsUri);
  chassis["Thermal"] = link(std::string(kChassisUri) + "/Thermal");
  chassis["Power"] = link(std::string(kChassisUri) + "/Power");
  chassis["Links"] = {{"ComputerSystems", {link(kSystemUri)}},
                      {"ManagedBy", {link(kManagerUri)}},
                      {"ManagersInChassis", {link(kManagerUri)}}};
  return chassis;
}

Json thermal(Exchange &ex) {
  const auto fans = sensorsWhere(ex.sp, ex.state.settings.mapping, isFan);
  Json thermal =
      resource(kThermalSubsystem, kThermalSubsystemUri, "ThermalSubsystem", "Thermal subsystem");
  thermal["Fans"] = link(kFansUri);
  thermal["Status"] = {{"State", "Enabled"}, {"HealthRollup", rollup(fans)}};
  return thermal;
}

Json fans(Exchange &ex) {
  std::vector<std::string> uris;
  for (const SensorData &fan : sensorsWhere(ex.sp, ex.state.settings.mapping, isFan)) {
    uris.push_back(kFansUri + "/" + uriSegment(fan.id));
  }
  return redfish::collection("Fan", kFansUri, "Fans", uris);
}

Json fan(Exchange &ex) {
  const SensorData data = sensor(ex.sp, ex.state.settings.mapping, ex.ids[0]);
  if (!data.rule || data.rule->quantity != tools::Quantity::kFanSpeed) {
    throw Failure{404, base::resourceNotFound("Fan", ex.ids[0])};
  }
  return fanPayload(data);
}

Json power(Exchange &ex) {
  Json power = resource(kPowerSubsystem, kPowerSubsystemUri, "PowerSubsystem", "Power subsystem");
  power["PowerSupplies"] = link(kSuppliesUri);
  power["Status"] = {{"State", "Enabled"}, {"HealthRollup", worstHealth(supplyComponents(ex))}};
  return power;
}

Json supplies(Exchange &ex) {
  std::vector<std::string> uris;
  for (const Component &c : supplyComponents(ex))
    uris.push_back(kSuppliesUri + "/" + uriSegment(c.name));
  return redfish::collection("PowerSupply", kSuppliesUri, "Power supplies", uris);
}

Json supply(Exchange &ex) {
  const Component c = component(ex.sp, ComponentKind::kPowerSupply, ex.ids[0], "PowerSupply");
  const std::string uri = kSuppliesUri + "/" + uriSegment(c.name);
  Json supply = resource(kPowerSupply, uri, c.name, "Power supply " + c.name);
  supply["Status"] = componentStatus(c);
  supply["Metrics"] = link(uri + "/Metrics");
  return supply;
}

Json supplyMetrics(Exchange &ex) {
  const Component c = component(ex.sp, ComponentKind::kPowerSupply, ex.ids[0], "PowerSupply");
  const auto &mapping = ex.state.settings.mapping;
  const std::string uri = kSuppliesUri + "/" + uriSegment(c.name) + "/Metrics";
  Json metrics = resource(kPowerSupplyMetrics, uri, "Metrics", "Readings of " + c.name);
  Json volts = Json::array(), amps = Json::array();
  for (const std::string &id : sensorIds(ex.sp)) {
    SensorData data = sensor(ex.sp, mapping, id);
    if (tools::catalogueText(data.info, mapping.fields.component) != c.name || !data.rule) {
      continue;
    }
    if (data.rule->quantity == tools::Quantity::kPower) metrics["OutputPowerWatts"] = excerpt(data);
    if (data.rule->quantity == tools::Quantity::kVoltage) volts.push_back(excerpt(data));
    if (data.rule->quantity == tools::Quantity::kCurrent) amps.push_back(excerpt(data));
  }
  metrics["RailVoltage"] = volts;
  metrics["RailCurrentAmps"] = amps;
  metrics["Status"] = componentStatus(c);
  return metrics;
}

Json controls(Exchange &) {
  return redfish::collection("Control", kControlsUri, "Controls",
                             {kControlsUri + "/" + std::string(kPowerLimit)});
}

Json control(Exchange &ex) {
  if (ex.ids[0] != kPowerLimit) throw Failure{404, base::resourceNotFound("Control", ex.ids[0])};
  int level = 0;
  ex.sp.must([&] { return qelPlatformGetPowerLevel(&level); });
  Json control = resource(kControl, kControlsUri + "/" + std::string(kPowerLimit), kPowerLimit,
                          "Power cap of the host");
  control["ControlType"] = "Percent";
  control["ControlMode"] = "Automatic";
  control["SetPoint"] = level;
  control["SetPointUnits"] = "%";
  control["AllowableMin"] = kLowestLevel;
  control["AllowableMax"] = kHighestLevel;
  control["PhysicalContext"] = "Chassis";
  control["Status"] = status("Enabled", "OK");
  return control;
}

}  // namespace qel::redfish::chassis
