// SPDX-License-Identifier: Apache-2.0
#include "exporter/sensor_metrics.hpp"

#include <algorithm>

#include "tools/reading.hpp"
#include "tools/threshold_state.hpp"

namespace qel::exporter {
namespace {

const Family kUnmapped{"qel_sensor_value",
                       "Readings of sensors that no rule maps, in the unit the server names."};
const Family kAvailable{"qel_sensor_available",
                        "1 when the sensor has a reading, 0 when it reads the no-reading value."};
const Family kThreshold{"qel_sensor_threshold",
                        "Thresholds in use, in the unit of the sensor's reading metric."};
const Family kState{"qel_sensor_state",
                    "The reading against its thresholds: 0 ok, 1 warning, 2 critical."};

// "lower critical" as a label value: "lower_critical".
std::string levelName(std::string_view role) {
  std::string name(role);
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

void addThresholds(const std::string &id, const SensorThresholds &t, double scale,
                   MetricSet &metrics) {
  const std::pair<int, float> limits[] = {{t.thresholdFlag1, t.threshold1},
                                          {t.thresholdFlag2, t.threshold2},
                                          {t.thresholdFlag3, t.threshold3},
                                          {t.thresholdFlag4, t.threshold4}};
  for (std::size_t i = 0; i < tools::kThresholdRoles.size(); ++i) {
    // Flags travel as bytes: only the low 8 bits say whether a threshold is in use.
    if ((limits[i].first & 0xFF) == 0) continue;
    metrics.add(kThreshold, {{"sensor", id}, {"level", levelName(tools::kThresholdRoles[i])}},
                tools::decimalValue(limits[i].second) * scale);
  }
}

}  // namespace

void addSensor(const tools::SensorMapping &mapping, const SensorReading &sensor,
               MetricSet &metrics) {
  const bool available = sensor.value != QEL_NO_READING;
  metrics.add(kAvailable, {{"sensor", sensor.id}}, available ? 1 : 0);
  if (!available) return;
  const std::string kind(tools::catalogueText(sensor.info, mapping.fields.kind));
  const std::string unit(tools::catalogueText(sensor.info, mapping.fields.unit));
  const std::string component(tools::catalogueText(sensor.info, mapping.fields.component));
  const tools::SensorRule *rule = mapping.ruleFor(kind, unit);
  const double scale = rule ? rule->scale : 1;
  Labels labels{{"sensor", sensor.id}, {"component", component}};
  if (!rule) labels.emplace_back("unit", unit);
  metrics.add(rule ? Family{rule->metric, rule->help} : kUnmapped, std::move(labels),
              tools::decimalValue(sensor.value) * scale);
  if (!sensor.thresholds) return;
  addThresholds(sensor.id, *sensor.thresholds, scale, metrics);
  const tools::ThresholdState state = tools::thresholdState(sensor.value, *sensor.thresholds);
  metrics.add(kState, {{"sensor", sensor.id}},
              state == tools::ThresholdState::kCritical  ? 2
              : state == tools::ThresholdState::kWarning ? 1
                                                         : 0);
}

}  // namespace qel::exporter
