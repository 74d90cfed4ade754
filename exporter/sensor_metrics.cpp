// SPDX-License-Identifier: Apache-2.0
#include "exporter/sensor_metrics.hpp"

#include <algorithm>
#include <charconv>

#include "cli/threshold_state.hpp"

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

std::string_view catalogueText(const SensorInfo &info, int field) {
  const char *texts[] = {info.text1, info.text2, info.text3, info.text4,
                         info.text5, info.text6, info.text7};
  return texts[field - 1];
}

// A reading travels as a float: 52.3 arrives as 52.2999992..., whose shortest text "52.3" is
// what the server meant and what a person expects to see.
double decimalValue(float value) {
  char text[32];
  const char *end = std::to_chars(text, text + sizeof text, value).ptr;
  double result = 0;
  std::from_chars(text, end, result);
  return result;
}

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
  for (std::size_t i = 0; i < cli::kThresholdRoles.size(); ++i) {
    // Flags travel as bytes: only the low 8 bits say whether a threshold is in use.
    if ((limits[i].first & 0xFF) == 0) continue;
    metrics.add(kThreshold, {{"sensor", id}, {"level", levelName(cli::kThresholdRoles[i])}},
                decimalValue(limits[i].second) * scale);
  }
}

}  // namespace

void addSensor(const SensorMapping &mapping, const SensorReading &sensor, MetricSet &metrics) {
  const bool available = sensor.value != QEL_NO_READING;
  metrics.add(kAvailable, {{"sensor", sensor.id}}, available ? 1 : 0);
  if (!available) return;
  const std::string kind(catalogueText(sensor.info, mapping.fields.kind));
  const std::string unit(catalogueText(sensor.info, mapping.fields.unit));
  const std::string component(catalogueText(sensor.info, mapping.fields.component));
  const SensorRule *rule = mapping.ruleFor(kind, unit);
  const double scale = rule ? rule->scale : 1;
  Labels labels{{"sensor", sensor.id}, {"component", component}};
  if (!rule) labels.emplace_back("unit", unit);
  metrics.add(rule ? rule->family : kUnmapped, std::move(labels),
              decimalValue(sensor.value) * scale);
  if (!sensor.thresholds) return;
  addThresholds(sensor.id, *sensor.thresholds, scale, metrics);
  const cli::ThresholdState state = cli::thresholdState(sensor.value, *sensor.thresholds);
  metrics.add(kState, {{"sensor", sensor.id}},
              state == cli::ThresholdState::kCritical  ? 2
              : state == cli::ThresholdState::kWarning ? 1
                                                       : 0);
}

}  // namespace qel::exporter
