// SPDX-License-Identifier: Apache-2.0
// The chassis's Thermal and Power resources: the older form of the same readings that the
// Sensors, ThermalSubsystem and PowerSubsystem resources give, which many clients still read
// (temperatures, fans, voltages, supplies and the power consumed, each with its thresholds).
#include <cmath>

#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "redfish/resources/sp_reads.hpp"

namespace qel::redfish::chassis {
namespace {

const std::string kThermalUri = std::string(kChassisUri) + "/Thermal";
const std::string kPowerUri = std::string(kChassisUri) + "/Power";

// An array member: a sensor's reading under `reading`, with its thresholds and status.
Json reading(const std::string &uri, const char *array, std::size_t index, const SensorData &data,
             const char *reading) {
  Json item{{"@odata.id", uri + "#/" + array + "/" + std::to_string(index)},
            {"MemberId", data.id},
            {"Name", sensorLabel(data)}};
  const bool reads = data.value != QEL_NO_READING;
  item[reading] = reads ? Json(scaled(data, data.value)) : Json(nullptr);
  static constexpr const char *kThresholds[] = {
      "LowerThresholdCritical", "LowerThresholdNonCritical", "UpperThresholdNonCritical",
      "UpperThresholdCritical"};
  const auto thresholds = thresholdReadings(data);
  for (std::size_t i = 0; i < thresholds.size(); ++i) {
    item[kThresholds[i]] = thresholds[i] ? Json(*thresholds[i]) : Json(nullptr);
  }
  item["Status"] = reads ? status("Enabled", sensorHealth(data)) : status("UnavailableOffline");
  return item;
}

bool measures(const SensorData &data, tools::Quantity quantity) {
  return data.rule && data.rule->quantity == quantity;
}

// The readings of `quantity` as the array `array`, each value under `name`.
Json readings(const std::vector<SensorData> &all, tools::Quantity quantity, const std::string &uri,
              const char *array, const char *name) {
  Json items = Json::array();
  for (const SensorData &data : all) {
    if (measures(data, quantity)) items.push_back(reading(uri, array, items.size(), data, name));
  }
  return items;
}

}  // namespace

Json legacyThermal(Exchange &ex) {
  const auto all = allSensors(ex.sp, ex.state.settings.mapping);
  Json thermal = resource(kThermal, kThermalUri, "Thermal", "Thermal");
  thermal["Temperatures"] =
      readings(all, tools::Quantity::kTemperature, kThermalUri, "Temperatures", "ReadingCelsius");
  thermal["Fans"] = readings(all, tools::Quantity::kFanSpeed, kThermalUri, "Fans", "Reading");
  for (Json &fan : thermal["Fans"]) {
    // Fan readings and thresholds are whole revolutions per minute here.
    for (auto &[name, value] : fan.items()) {
      if (value.is_number()) value = std::lround(value.get<double>());
    }
    fan["ReadingUnits"] = "RPM";
  }
  thermal["Status"] = status("Enabled");
  return thermal;
}

Json legacyPower(Exchange &ex) {
  const auto all = allSensors(ex.sp, ex.state.settings.mapping);
  const auto &fields = ex.state.settings.mapping.fields;
  Json power = resource(kPower, kPowerUri, "Power", "Power");
  power["Voltages"] =
      readings(all, tools::Quantity::kVoltage, kPowerUri, "Voltages", "ReadingVolts");
  double consumed = 0;
  Json supplies = Json::array();
  for (const Component &c : components(ex.sp)) {
    if (kindOf(c.name) != ComponentKind::kPowerSupply) continue;
    Json supply{{"@odata.id", kPowerUri + "#/PowerSupplies/" + std::to_string(supplies.size())},
                {"MemberId", c.name},
                {"Name", "Power supply " + c.name},
                {"Status", componentStatus(c)}};
    for (const SensorData &data : all) {
      if (measures(data, tools::Quantity::kPower) && data.value != QEL_NO_READING &&
          tools::catalogueText(data.info, fields.component) == c.name) {
        supply["PowerOutputWatts"] = scaled(data, data.value);
        consumed += scaled(data, data.value);
      }
    }
    supplies.push_back(supply);
  }
  power["PowerSupplies"] = supplies;
  power["PowerControl"] = {{{"@odata.id", kPowerUri + "#/PowerControl/0"},
                            {"MemberId", "0"},
                            {"Name", "Host power"},
                            {"PowerConsumedWatts", consumed}}};
  return power;
}

}  // namespace qel::redfish::chassis
