// SPDX-License-Identifier: Apache-2.0
#include "exporter/sensor_metrics.hpp"

#include <algorithm>

#include "exporter/families.hpp"
#include "tools/reading.hpp"
#include "tools/threshold_state.hpp"

namespace qel::exporter {
namespace {

// "lower critical" as a label value: "lower_critical".
std::string levelName(std::string_view role) {
  std::string name(role);
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

void addThresholds(const Family &family, const Labels &sensor, const SensorThresholds &t,
                   double scale, MetricSet &metrics) {
  const std::pair<int, float> limits[] = {{t.thresholdFlag1, t.threshold1},
                                          {t.thresholdFlag2, t.threshold2},
                                          {t.thresholdFlag3, t.threshold3},
                                          {t.thresholdFlag4, t.threshold4}};
  for (std::size_t i = 0; i < tools::kThresholdRoles.size(); ++i) {
    // Flags travel as bytes: only the low 8 bits say whether a threshold is in use.
    if ((limits[i].first & 0xFF) == 0) continue;
    Labels labels = sensor;
    labels.emplace_back("level", levelName(tools::kThresholdRoles[i]));
    metrics.add(family, std::move(labels), tools::decimalValue(limits[i].second) * scale);
  }
}

}  // namespace

void addSensor(const tools::SensorMapping &mapping, const SensorReading &sensor,
               MetricSet &metrics) {
  const bool available = sensor.value != QEL_NO_READING;
  metrics.add(family::kAvailable, {{"sensor", sensor.id}}, available ? 1 : 0);
  if (!available) return;
  const std::string kind(tools::catalogueText(sensor.info, mapping.fields.kind));
  const std::string unit(tools::catalogueText(sensor.info, mapping.fields.unit));
  const std::string component(tools::catalogueText(sensor.info, mapping.fields.component));
  const tools::SensorRule *rule = mapping.ruleFor(kind, unit);
  const double scale = rule ? rule->scale : 1;
  Labels labels{{"sensor", sensor.id}, {"component", component}};
  if (!rule) labels.emplace_back("unit", unit);
  metrics.add(rule ? Family{rule->metric, rule->help} : family::kUnmapped, std::move(labels),
              tools::decimalValue(sensor.value) * scale);
  if (!sensor.thresholds) return;
  // Thresholds in the reading's unit, in a family of their own beside the reading's.
  Labels thresholdLabels{{"sensor", sensor.id}};
  if (rule) {
    addThresholds({thresholdMetric(rule->metric), "Thresholds in use of " + rule->metric + "."},
                  thresholdLabels, *sensor.thresholds, scale, metrics);
  } else {
    thresholdLabels.emplace_back("unit", unit);
    addThresholds(family::kUnmappedThreshold, thresholdLabels, *sensor.thresholds, 1, metrics);
  }
  const tools::ThresholdState state = tools::thresholdState(sensor.value, *sensor.thresholds);
  metrics.addStates(family::kSensorState, {{"sensor", sensor.id}},
                    state == tools::ThresholdState::kCritical  ? 2
                    : state == tools::ThresholdState::kWarning ? 1
                                                               : 0);
}

}  // namespace qel::exporter
