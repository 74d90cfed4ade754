// SPDX-License-Identifier: Apache-2.0
// The metric mapping as one table: catalogue texts, reading and thresholds in, the samples
// written out; then the configuration's refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "exporter/exposition.hpp"
#include "exporter/families.hpp"
#include "exporter/sensor_metrics.hpp"

namespace qel::exporter {
namespace {

const char kMillivolts[] =
    R"({"catalogue": {"kind": 2, "unit": 4},
        "sensors": [{"kind": "voltage", "unit": "mV", "metric": "qel_voltage_volts",
                     "scale": 0.001}]})";

struct MappingCase {
  const char *config;  // null: the default mapping
  const char *kind, *unit, *component;
  float value;
  SensorThresholds thresholds;
  const char *samples;  // what is written, less the comment lines
};

constexpr SensorThresholds kAll{1, 1, 1, 1, 0, 5, 85, 95}, kNone{};
// Flags count by their low 8 bits: 0x100 is a threshold not in use.
constexpr SensorThresholds kUpperOnly{0x100, 0, 1, 0x101, 11, 11.4f, 12.6f, 13};
constexpr SensorThresholds kLowerOnly{1, 1, 0, 0, 1000, 1500, 0, 0};
constexpr SensorThresholds kUpperAtLimit{0, 0, 1, 1, 0, 0, 900, 1100};
constexpr SensorThresholds kLowerCritical{1, 0, 0, 0, 900, 0, 0, 0};
const MappingCase kMappings[] = {
    {nullptr, "temperature", "C", "cpu0", 52.3f, kAll,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_temperature_celsius{sensor=\"s\",component=\"cpu0\"} 52.3\n"
     "qel_temperature_threshold_celsius{sensor=\"s\",level=\"lower_critical\"} 0\n"
     "qel_temperature_threshold_celsius{sensor=\"s\",level=\"lower_warning\"} 5\n"
     "qel_temperature_threshold_celsius{sensor=\"s\",level=\"upper_warning\"} 85\n"
     "qel_temperature_threshold_celsius{sensor=\"s\",level=\"upper_critical\"} 95\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 1\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 0\n"},
    {nullptr, "voltage", "V", "psu0", 12.7f, kUpperOnly,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_voltage_volts{sensor=\"s\",component=\"psu0\"} 12.7\n"
     "qel_voltage_threshold_volts{sensor=\"s\",level=\"upper_warning\"} 12.6\n"
     "qel_voltage_threshold_volts{sensor=\"s\",level=\"upper_critical\"} 13\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 1\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 0\n"},
    {nullptr, "fan", "RPM", "fan0", 900, kLowerOnly,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_fan_speed_rpm{sensor=\"s\",component=\"fan0\"} 900\n"
     "qel_fan_speed_threshold_rpm{sensor=\"s\",level=\"lower_critical\"} 1000\n"
     "qel_fan_speed_threshold_rpm{sensor=\"s\",level=\"lower_warning\"} 1500\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 1\n"},
    {nullptr, "current", "A", "psu0", 34.2f, kNone,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_current_amperes{sensor=\"s\",component=\"psu0\"} 34.2\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 1\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 0\n"},
    {nullptr, "power", "W", "psu0", 1100, kUpperAtLimit,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_power_watts{sensor=\"s\",component=\"psu0\"} 1100\n"
     "qel_power_threshold_watts{sensor=\"s\",level=\"upper_warning\"} 900\n"
     "qel_power_threshold_watts{sensor=\"s\",level=\"upper_critical\"} 1100\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 1\n"},
    // A kind and unit no rule names, with texts that need escaping.
    {nullptr, "temperature", "F", "a\"b\\c\nd", -4.5f, kUpperOnly,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_sensor_value{sensor=\"s\",component=\"a\\\"b\\\\c\\nd\",unit=\"F\"} -4.5\n"
     "qel_sensor_threshold{sensor=\"s\",unit=\"F\",level=\"upper_warning\"} 12.6\n"
     "qel_sensor_threshold{sensor=\"s\",unit=\"F\",level=\"upper_critical\"} 13\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 1\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 0\n"},
    {nullptr, "temperature", "C", "dimm1", QEL_NO_READING, kNone,
     "qel_sensor_available{sensor=\"s\"} 0\n"},
    // The configuration's catalogue fields and scale: the kind is text 2 here.
    {kMillivolts, "voltage", "mV", "psu0", 1050, kLowerCritical,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_voltage_volts{sensor=\"s\",component=\"psu0\"} 1.05\n"
     "qel_voltage_threshold_volts{sensor=\"s\",level=\"lower_critical\"} 0.9\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"ok\"} 1\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"warning\"} 0\n"
     "qel_sensor_state{sensor=\"s\",qel_sensor_state=\"critical\"} 0\n"},
};

TEST(ExporterMapping, SensorSamples) {
  for (const MappingCase &c : kMappings) {
    std::string error;
    const auto mapping = c.config ? tools::parseMapping(c.config, error) : tools::defaultMapping();
    ASSERT_TRUE(mapping) << error;
    SensorReading sensor;
    sensor.id = "s";
    std::strcpy(c.config ? sensor.info.text2 : sensor.info.text6, c.kind);
    std::strcpy(sensor.info.text4, c.unit);
    std::strcpy(sensor.info.text5, c.component);
    sensor.value = c.value;
    if (c.value != QEL_NO_READING) sensor.thresholds = c.thresholds;
    MetricSet metrics;
    addSensor(*mapping, sensor, metrics);
    std::string text, samples;
    writeMetrics(metrics, Format::kText, text);
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
      end = text.find('\n', at);
      if (text[at] != '#') samples += text.substr(at, end + 1 - at);
    }
    EXPECT_EQ(samples, c.samples) << c.kind << " " << c.unit;
  }
}

TEST(ExporterMapping, ConfigurationsRefused) {
  const std::pair<const char *, const char *> kRefused[] = {
      {"[]", "the configuration is not an object"},
      {R"({"sensor": []})", "the configuration: unknown key \"sensor\""},
      {R"({"catalogue": {"kind": 8}})", "\"catalogue\": \"kind\" is not 1 to 7"},
      {R"({"sensors": [{"metric": "qel-x"}]})", "\"sensors\"[0]: \"metric\" is not a metric name"},
      {R"({"sensors": [{"metric": "x", "scale": 0}]})", "\"sensors\"[0]: bad \"scale\""},
      {R"({"sensors": [{"metric": 1}]})", "\"sensors\"[0]: \"metric\" has the wrong type"},
  };
  for (const auto &[document, reason] : kRefused) {
    std::string error;
    EXPECT_FALSE(tools::parseMapping(document, error)) << document;
    EXPECT_EQ(error, reason);
  }
}

// Names a mapping may not give: the exporter's own families, and those of other types.
TEST(ExporterMapping, NamesRefused) {
  const std::pair<const char *, const char *> kRefused[] = {
      {"qel_up", "\"sensors\"[0]: \"metric\" qel_up is one of the exporter's own families"},
      {"qel_sp", "\"sensors\"[0]: \"metric\" qel_sp is one of the exporter's own families"},
      {"qel_sensor",
       "\"sensors\"[0]: \"metric\" qel_sensor_threshold is one of the exporter's "
       "own families"},
      {"qel_temperature_threshold_celsius",
       "\"sensors\"[1]: \"metric\" qel_temperature_celsius has the thresholds family "
       "qel_temperature_threshold_celsius, which another rule names for readings"},
      {"qel_errors_total",
       "\"sensors\"[0]: \"metric\" qel_errors_total ends in _total, which Prometheus keeps for "
       "other types"},
  };
  for (const auto &[metric, reason] : kRefused) {
    std::string error;
    auto mapping = tools::parseMapping(
        R"({"sensors": [{"kind": "k", "unit": "u", "metric": ")" + std::string(metric) +
            R"("}, {"kind": "temperature", "unit": "C", "metric": "qel_temperature_celsius"}]})",
        error);
    ASSERT_TRUE(mapping) << error;
    EXPECT_EQ(mappingNameProblem(*mapping), reason);
  }
  EXPECT_EQ(mappingNameProblem(tools::defaultMapping()), "");
}

}  // namespace
}  // namespace qel::exporter
