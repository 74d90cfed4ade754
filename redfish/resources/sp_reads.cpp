// SPDX-License-Identifier: Apache-2.0
#include "redfish/resources/sp_reads.hpp"

#include "redfish/resources/payload.hpp"
#include "tools/components.hpp"
#include "tools/heap_texts.hpp"
#include "tools/reading.hpp"
#include "tools/threshold_state.hpp"

namespace qel::redfish {

ComponentKind kindOf(std::string_view name) {
  if (name.starts_with("cpu")) return ComponentKind::kProcessor;
  if (name.starts_with("dimm") || name.starts_with("mem")) return ComponentKind::kMemory;
  if (name.starts_with("psu")) return ComponentKind::kPowerSupply;
  return ComponentKind::kOther;
}

namespace {

Component readComponent(SpLink &sp, const std::string &name, std::string_view type) {
  Component result;
  result.name = name;
  int presence = 0;
  sp.must([&] { return qelSysGetPresenceDetect(name.c_str(), &presence); }, type, name);
  sp.must([&] { return qelSysGetComponentStatus(name.c_str(), &result.status); }, type, name);
  result.present = presence != 0;
  return result;
}

}  // namespace

std::vector<Component> components(SpLink &sp) {
  char *report = nullptr;
  sp.must([&] { return qelSysGetPresenceDetectAll(&report); });
  std::vector<Component> all;
  for (const std::string &name : tools::componentNames(tools::takenText(report))) {
    all.push_back(readComponent(sp, name, "Component"));
  }
  return all;
}

Component component(SpLink &sp, ComponentKind kind, const std::string &name,
                    std::string_view type) {
  if (kindOf(name) != kind) throw SpLink::readFailure(kCodeNoSuch, type, name);
  return readComponent(sp, name, type);
}

std::string_view healthOf(int status) {
  static constexpr std::string_view kHealth[] = {"OK", "Warning", "Critical"};
  return status >= 0 && status <= 2 ? kHealth[status] : "";
}

std::string_view worstHealth(const std::vector<Component> &all) {
  int worst = 0;
  for (const Component &c : all) {
    if (c.present && c.status >= 0 && c.status <= 2 && c.status > worst) worst = c.status;
  }
  return healthOf(worst);
}

Json componentStatus(const Component &component) {
  return component.present ? status("Enabled", healthOf(component.status)) : status("Absent");
}

std::vector<std::string> sensorIds(SpLink &sp) {
  unsigned count = 0;
  char **list = nullptr;
  // Kind 0 and component 0: every sensor of the catalogue.
  sp.must([&] { return qelGetSensorList(0, 0, &count, &list); });
  return tools::takenTexts(list, count);
}

SensorData sensor(SpLink &sp, const tools::SensorMapping &mapping, const std::string &id,
                  const SensorInfo *info) {
  SensorData data;
  data.id = id;
  const char *name = id.c_str();
  if (info != nullptr) {
    data.info = *info;
  } else {
    sp.must([&] { return qelGetSensorInfo(name, &data.info); }, "Sensor", id);
  }
  sp.must([&] { return qelSysGetSensorValue(name, &data.value); }, "Sensor", id);
  if (data.value != QEL_NO_READING) {
    SensorThresholds thresholds{};
    sp.must([&] { return qelSysGetSensorThresholds(name, &thresholds); }, "Sensor", id);
    data.thresholds = thresholds;
  }
  data.rule = mapping.ruleFor(data.info);
  return data;
}

std::vector<SensorData> sensorsWhere(SpLink &sp, const tools::SensorMapping &mapping,
                                     bool (*keep)(const tools::SensorMapping &,
                                                  const SensorInfo &)) {
  std::vector<SensorData> kept;
  for (const std::string &id : sensorIds(sp)) {
    SensorInfo info{};
    sp.must([&] { return qelGetSensorInfo(id.c_str(), &info); }, "Sensor", id);
    if (keep(mapping, info)) kept.push_back(sensor(sp, mapping, id, &info));
  }
  return kept;
}

std::string sensorLabel(const SensorData &sensor) {
  const std::string_view label = tools::catalogueText(sensor.info, 2);
  return std::string(label.empty() ? std::string_view(sensor.id) : label);
}

double scaled(const SensorData &sensor, float value) {
  return tools::decimalValue(value) * (sensor.rule ? sensor.rule->scale : 1.0);
}

std::array<std::optional<double>, 4> thresholdReadings(const SensorData &sensor) {
  std::array<std::optional<double>, 4> readings;
  if (!sensor.thresholds) return readings;
  const SensorThresholds &t = *sensor.thresholds;
  const std::pair<int, float> each[] = {{t.thresholdFlag1, t.threshold1},
                                        {t.thresholdFlag2, t.threshold2},
                                        {t.thresholdFlag3, t.threshold3},
                                        {t.thresholdFlag4, t.threshold4}};
  for (std::size_t i = 0; i < readings.size(); ++i) {
    // Flags travel as bytes: only the low 8 bits say whether a threshold is in use.
    if ((each[i].first & 0xFF) != 0) readings[i] = scaled(sensor, each[i].second);
  }
  return readings;
}

std::vector<SensorData> allSensors(SpLink &sp, const tools::SensorMapping &mapping) {
  std::vector<SensorData> all;
  for (const std::string &id : sensorIds(sp)) all.push_back(sensor(sp, mapping, id));
  return all;
}

std::string_view sensorHealth(const SensorData &sensor) {
  if (!sensor.thresholds) return "";
  switch (tools::thresholdState(sensor.value, *sensor.thresholds)) {
    case tools::ThresholdState::kOk:
      return "OK";
    case tools::ThresholdState::kWarning:
      return "Warning";
    case tools::ThresholdState::kCritical:
      return "Critical";
    case tools::ThresholdState::kNoReading:
      break;
  }
  return "";
}

}  // namespace qel::redfish
