// SPDX-License-Identifier: Apache-2.0
// The chassis's sensors: one Sensor per catalogue entry, with its reading in Redfish units,
// its four thresholds (writable) and its health by the threshold rule.
#include <array>
#include <cfloat>
#include <cmath>

#include "redfish/base_messages.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "redfish/resources/sp_reads.hpp"

namespace qel::redfish {

std::string sensorUri(const std::string &id) {
  return std::string(kChassisUri) + "/Sensors/" + uriSegment(id);
}

namespace sensors {
namespace {

// The catalogue text of the description (qel-simd's order, as for the label).
constexpr int kDescriptionText = 3;

struct Units {
  tools::Quantity quantity;
  const char *type;  // ReadingType
  const char *unit;  // ReadingUnits (UCUM)
};
constexpr Units kUnits[] = {{tools::Quantity::kTemperature, "Temperature", "Cel"},
                            {tools::Quantity::kVoltage, "Voltage", "V"},
                            {tools::Quantity::kFanSpeed, "Rotational", "RPM"},
                            {tools::Quantity::kCurrent, "Current", "A"},
                            {tools::Quantity::kPower, "Power", "W"}};

// The thresholds in the order the library keeps them, with their Redfish names.
constexpr const char *kThresholdNames[] = {"LowerCritical", "LowerCaution", "UpperCaution",
                                           "UpperCritical"};
constexpr Writable kWritable[] = {{"/Thresholds/LowerCritical/Reading", ValueKind::kNumberOrNull},
                                  {"/Thresholds/LowerCaution/Reading", ValueKind::kNumberOrNull},
                                  {"/Thresholds/UpperCaution/Reading", ValueKind::kNumberOrNull},
                                  {"/Thresholds/UpperCritical/Reading", ValueKind::kNumberOrNull}};

struct ThresholdRef {
  int *flag;
  float *value;
};
std::array<ThresholdRef, 4> refs(SensorThresholds &t) {
  return {{{&t.thresholdFlag1, &t.threshold1},
           {&t.thresholdFlag2, &t.threshold2},
           {&t.thresholdFlag3, &t.threshold3},
           {&t.thresholdFlag4, &t.threshold4}}};
}

Json thresholds(const SensorData &sensor) {
  Json all = Json::object();
  const auto readings = thresholdReadings(sensor);
  for (std::size_t i = 0; i < readings.size(); ++i) {
    // A threshold not in use has no reading; a client sets one to put it in use.
    all[kThresholdNames[i]]["Reading"] = readings[i] ? Json(*readings[i]) : Json(nullptr);
  }
  return all;
}

std::string relatedUri(std::string_view component) {
  const std::string name(component);
  switch (kindOf(component)) {
    case ComponentKind::kProcessor:
      return std::string(kSystemUri) + "/Processors/" + uriSegment(name);
    case ComponentKind::kMemory:
      return std::string(kSystemUri) + "/Memory/" + uriSegment(name);
    case ComponentKind::kPowerSupply:
      return std::string(kChassisUri) + "/PowerSubsystem/PowerSupplies/" + uriSegment(name);
    case ComponentKind::kOther:
      break;
  }
  return std::string(kChassisUri);
}

void applyThresholds(Exchange &ex, PatchPlan &plan) {
  const SensorData data = sensor(ex.sp, ex.state.settings.mapping, ex.ids[0]);
  SensorThresholds next{};
  ex.sp.must([&] { return qelSysGetSensorThresholds(data.id.c_str(), &next); }, "Sensor", data.id);
  const double scale = data.rule ? data.rule->scale : 1.0;
  const auto each = refs(next);
  std::vector<std::string_view> changed;
  for (std::size_t i = 0; i < each.size(); ++i) {
    const Json *value = plan.value(kWritable[i].pointer);
    if (value == nullptr) continue;
    const double raw = value->is_null() ? 0 : value->get<double>() / scale;
    if (!value->is_null() && !(std::fabs(raw) <= FLT_MAX)) {
      plan.refuse(kWritable[i].pointer, base::propertyValueOutOfRange(
                                            render(*value), propertyName(kWritable[i].pointer)));
      continue;
    }
    *each[i].flag = value->is_null() ? 0 : 1;
    if (!value->is_null()) *each[i].value = static_cast<float>(raw);
    changed.push_back(kWritable[i].pointer);
  }
  if (changed.empty()) return;
  const unsigned code =
      ex.sp.call([&] { return qelSysSetSensorThresholds(data.id.c_str(), &next); });
  for (std::string_view pointer : changed) {
    if (code == RESULT_OK) {
      ++plan.applied;
    } else {
      plan.refuse(pointer, SpLink::propertyRefusal(code, propertyName(pointer),
                                                   render(*plan.value(pointer))));
    }
  }
}

}  // namespace

const PatchRule kSensorPatch{kWritable, applyThresholds};

Json collection(Exchange &ex) {
  std::vector<std::string> uris;
  for (const std::string &id : sensorIds(ex.sp)) uris.push_back(sensorUri(id));
  return redfish::collection("Sensor", std::string(kChassisUri) + "/Sensors", "Sensors", uris);
}

Json sensor(Exchange &ex) {
  const SensorData data = redfish::sensor(ex.sp, ex.state.settings.mapping, ex.ids[0]);
  Json payload = resource(kSensor, sensorUri(data.id), data.id, sensorLabel(data));
  if (const std::string_view text = tools::catalogueText(data.info, kDescriptionText);
      !text.empty()) {
    payload["Description"] = text;
  }
  const bool reads = data.value != QEL_NO_READING;
  payload["Reading"] = reads ? Json(scaled(data, data.value)) : Json(nullptr);
  for (const Units &units : kUnits) {
    if (data.rule && data.rule->quantity == units.quantity) {
      payload["ReadingType"] = units.type;
      payload["ReadingUnits"] = units.unit;
    }
  }
  payload["ReadingRangeMin"] = scaled(data, data.info.realValue1);
  payload["ReadingRangeMax"] = scaled(data, data.info.realValue2);
  payload["Status"] = reads ? status("Enabled", sensorHealth(data)) : status("UnavailableOffline");
  if (data.thresholds) payload["Thresholds"] = thresholds(data);
  const auto &fields = ex.state.settings.mapping.fields;
  payload["RelatedItem"] = {link(relatedUri(tools::catalogueText(data.info, fields.component)))};
  return payload;
}

}  // namespace sensors
}  // namespace qel::redfish
