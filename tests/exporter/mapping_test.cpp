// SPDX-License-Identifier: Apache-2.0
// The metric mapping as one table: catalogue texts, reading and thresholds in, the samples
// written out; then the configuration's refusals, the /probe query and the scrape timeout.
#include <gtest/gtest.h>

#include <cstring>

#include "exporter/exposition.hpp"
#include "exporter/scrape_request.hpp"
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
     "qel_sensor_threshold{sensor=\"s\",level=\"lower_critical\"} 0\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"lower_warning\"} 5\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_warning\"} 85\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_critical\"} 95\n"
     "qel_sensor_state{sensor=\"s\"} 0\n"},
    {nullptr, "voltage", "V", "psu0", 12.7f, kUpperOnly,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_voltage_volts{sensor=\"s\",component=\"psu0\"} 12.7\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_warning\"} 12.6\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_critical\"} 13\n"
     "qel_sensor_state{sensor=\"s\"} 1\n"},
    {nullptr, "fan", "RPM", "fan0", 900, kLowerOnly,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_fan_speed_rpm{sensor=\"s\",component=\"fan0\"} 900\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"lower_critical\"} 1000\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"lower_warning\"} 1500\n"
     "qel_sensor_state{sensor=\"s\"} 2\n"},
    {nullptr, "current", "A", "psu0", 34.2f, kNone,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_current_amperes{sensor=\"s\",component=\"psu0\"} 34.2\n"
     "qel_sensor_state{sensor=\"s\"} 0\n"},
    {nullptr, "power", "W", "psu0", 1100, kUpperAtLimit,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_power_watts{sensor=\"s\",component=\"psu0\"} 1100\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_warning\"} 900\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"upper_critical\"} 1100\n"
     "qel_sensor_state{sensor=\"s\"} 2\n"},
    // A kind and unit no rule names, with texts that need escaping.
    {nullptr, "temperature", "F", "a\"b\\c\nd", -4.5f, kNone,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_sensor_value{sensor=\"s\",component=\"a\\\"b\\\\c\\nd\",unit=\"F\"} -4.5\n"
     "qel_sensor_state{sensor=\"s\"} 0\n"},
    {nullptr, "temperature", "C", "dimm1", QEL_NO_READING, kNone,
     "qel_sensor_available{sensor=\"s\"} 0\n"},
    // The configuration's catalogue fields and scale: the kind is text 2 here.
    {kMillivolts, "voltage", "mV", "psu0", 1050, kLowerCritical,
     "qel_sensor_available{sensor=\"s\"} 1\n"
     "qel_voltage_volts{sensor=\"s\",component=\"psu0\"} 1.05\n"
     "qel_sensor_threshold{sensor=\"s\",level=\"lower_critical\"} 0.9\n"
     "qel_sensor_state{sensor=\"s\"} 0\n"},
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

TEST(ExporterRequest, ProbeQueries) {
  const char *kBadProgram = "program is not a number from 1 to 4294967295 (decimal or 0x-hex)";
  const std::tuple<QueryParams, const char *, unsigned long> kQueries[] = {
      {{{"target", "sp1.example.org"}}, "sp1.example.org", 7},
      {{{"target", "fd00::1"}, {"program", "0x40000001"}}, "fd00::1", 0x40000001},
      {{{"target", "sp1"}, {"program", "1073741825"}, {"other", "x"}}, "sp1", 1073741825},
      {{}, "target is missing", 0},
      {{{"target", ""}}, "target is empty", 0},
      {{{"target", "a"}, {"target", "b"}}, "target is given more than once", 0},
      {{{"target", std::string(254, 'a')}}, "target is longer than 253 characters", 0},
      {{{"target", "sp1/x"}}, "target is not a host name or address", 0},
      {{{"target", "-sp1"}}, "target is not a host name or address", 0},
      {{{"target", "sp1:111"}}, "target has a port; give the host", 0},
      {{{"target", "sp1"}, {"program", "0"}}, kBadProgram, 0},
      {{{"target", "sp1"}, {"program", "4294967296"}}, kBadProgram, 0},
      {{{"target", "sp1"}, {"program", "1"}, {"program", "2"}},
       "program is given more than once",
       0},
  };
  for (const auto &[params, expected, program] : kQueries) {
    const auto target = probeTarget(params, 7);
    if (program != 0) {
      ASSERT_TRUE(std::holds_alternative<Target>(target)) << expected;
      EXPECT_EQ(std::get<Target>(target), (Target{expected, program}));
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(target)) << expected;
      EXPECT_EQ(std::get<std::string>(target), expected);
    }
  }
}

TEST(ExporterRequest, ScrapeBudget) {
  using std::chrono::milliseconds;
  const ScrapeTimes times{milliseconds(10000), milliseconds(500)};
  const std::pair<const char *, long> kBudgets[] = {
      {"10", 9500}, {"2.5", 2000}, {"0.6", 300},   {"1e9", 59500},
      {"", 10000},  {"-3", 10000}, {"nan", 10000}, {"10s", 10000},
  };
  for (const auto &[header, budget] : kBudgets) {
    EXPECT_EQ(std::chrono::duration_cast<milliseconds>(scrapeBudget(header, times)).count(), budget)
        << header;
  }
  // Half of a nanosecond rounds up, never down to no time at all.
  EXPECT_GT(scrapeBudget("1e-9", times), Clock::duration::zero());
}

}  // namespace
}  // namespace qel::exporter
