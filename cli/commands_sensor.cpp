// SPDX-License-Identifier: Apache-2.0
// sensor, fan: single sensors, their thresholds and catalogue, VRM goodness and the fan state.
#include <qel.h>

#include <algorithm>
#include <vector>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/commands.hpp"
#include "cli/sensor_reading.hpp"
#include "tools/threshold_state.hpp"

namespace qel::cli {

namespace {

void addSensorName(CLI::App &app, std::string &name) {
  app.add_option("NAME", name, "Sensor identifier")->required()->check(sensorId());
}

void addList(CommandTable &table, CLI::App &sensor) {
  auto selectors = argument<std::vector<int>>({0, 0});
  table
      .verb(sensor, "list", "List the sensor identifiers",
            [selectors](Session &session) {
              selectors->resize(2);
              HeapTextArray ids;
              check(qelGetSensorList((*selectors)[0], (*selectors)[1], ids.count(), ids.texts()),
                    "cannot list the sensors");
              std::vector<std::string> names;
              for (unsigned i = 0; i < ids.size(); ++i) names.emplace_back(ids[i]);
              session.show(Record().lines("sensors", std::move(names)));
            })
      .add_option("SELECTORS", *selectors,
                  "Two selectors passed to the server as they are (default 0 0)")
      ->expected(0, 2);
}

void addValues(CommandTable &table, CLI::App &sensor) {
  auto names = argument<std::vector<std::string>>();
  table
      .verb(sensor, "get", "Show sensor readings",
            [names](Session &session) {
              Json rows = Json::array();
              for (const auto &name : *names) {
                rows.push_back({{"sensor", name}, {"value", readingValue(readSensor(name))}});
              }
              session.show(Record().table("readings", {{"sensor", "SENSOR"}, {"value", "VALUE"}},
                                          std::move(rows)));
            })
      .add_option("NAME", *names, "Sensor identifiers")
      ->required()
      ->check(sensorId());

  auto name = argument<std::string>();
  auto value = argument<float>();
  auto &set = table.verb(sensor, "set", "Set a sensor's value", [name, value](Session &session) {
    finish(session, qelSysSetSensorValue(name->c_str(), *value),
           "cannot set sensor '" + *name + "'");
  });
  addSensorName(set, *name);
  set.add_option("VALUE", *value, "New value")->required()->check(finiteNumber());
}

void addInfo(CommandTable &table, CLI::App &sensor) {
  auto name = argument<std::string>();
  auto &info = table.verb(sensor, "info", "Describe a sensor", [name](Session &session) {
    SensorInfo info{};
    check(qelGetSensorInfo(name->c_str(), &info), "cannot describe sensor '" + *name + "'");
    Record record;
    const char *texts[] = {info.text1, info.text2, info.text3, info.text4,
                           info.text5, info.text6, info.text7};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
      record.field("text" + std::to_string(i + 1), texts[i]);
    }
    record.field("intValue1", info.intValue1)
        .field("intValue2", info.intValue2)
        .field("realValue1", floatValue(info.realValue1))
        .field("realValue2", floatValue(info.realValue2))
        .field("realValue3", floatValue(info.realValue3))
        .field("intValue3", info.intValue3)
        .field("intValue4", info.intValue4)
        .field("intValue5", info.intValue5);
    session.show(record);
  });
  addSensorName(info, *name);
}

struct ThresholdSettings {
  std::string name;
  std::vector<float> values;
  std::vector<int> flags{1, 1, 1, 1};
};

void addThresholds(CommandTable &table, CLI::App &sensor) {
  auto name = argument<std::string>();
  auto &thresholds = table.attribute(
      sensor, "thresholds", "A sensor's four thresholds and their flags",
      [name](CLI::App &app) { addSensorName(app, *name); },
      [name](Session &session) {
        const SensorThresholds read = readThresholds(*name);
        const float values[] = {read.threshold1, read.threshold2, read.threshold3, read.threshold4};
        const int flags[] = {read.thresholdFlag1, read.thresholdFlag2, read.thresholdFlag3,
                             read.thresholdFlag4};
        Json rows = Json::array();
        for (std::size_t i = 0; i < 4; ++i) {
          rows.push_back({{"threshold", i + 1},
                          {"role", tools::kThresholdRoles[i]},
                          {"value", floatValue(values[i])},
                          {"flag", flags[i]}});
        }
        session.show(Record().table(
            "thresholds",
            {{"threshold", "THRESHOLD"}, {"role", "ROLE"}, {"value", "VALUE"}, {"flag", "FLAG"}},
            std::move(rows)));
      });
  auto set = argument<ThresholdSettings>();
  auto &setter =
      table.verb(thresholds, "set", "Set a sensor's four thresholds", [set](Session &session) {
        const auto &v = set->values;
        const auto &f = set->flags;
        const SensorThresholds thresholds{f[0], f[1], f[2], f[3], v[0], v[1], v[2], v[3]};
        finish(session, qelSysSetSensorThresholds(set->name.c_str(), &thresholds),
               "cannot set the thresholds of sensor '" + set->name + "'");
      });
  addSensorName(setter, set->name);
  setter
      .add_option("THRESHOLDS", set->values,
                  "Lower critical, lower warning, upper warning, upper critical")
      ->expected(4)
      ->required()
      ->check(finiteNumber());
  setter
      .add_option("--flags", set->flags,
                  "Four flags, 0 for a threshold not in use, 0 to 255 (default 1 1 1 1)")
      ->expected(4)
      ->check(CLI::Range(0, 255));
}

void addVrmGoodness(CommandTable &table, CLI::App &sensor) {
  auto selector = argument<int>();
  auto count = argument<unsigned>(4);
  auto &vrm = table.verb(sensor, "vrm-goodness", "Show the goodness values of a VRM",
                         [selector, count](Session &session) {
                           std::vector<int> values(*count);
                           check(qelSysGetVRMGoodness(*selector, *count, values.data()),
                                 "cannot read the goodness of VRM " + std::to_string(*selector));
                           session.show(Record().field("goodness", values));
                         });
  vrm.add_option("SELECTOR", *selector, "VRM selector")->required();
  vrm.add_option("--count", *count, "How many values to show; missing ones show as 0 (default 4)")
      ->check(CLI::Range(0, 64));
}

void addFan(CommandTable &table, CLI::App &root) {
  auto &fan = table.noun(root, "fan", "The fan controller");
  table.verb(fan, "state", "Show the fan controller's debug state", [](Session &session) {
    FanState state{};
    check(qelGetFanState(&state), "cannot read the fan state");
    const int count = std::clamp(state.entryCount, 0, 16);
    session.show(Record()
                     .field("debugValue1", state.debugValue1)
                     .field("debugValue2", state.debugValue2)
                     .field("debugValue3", state.debugValue3)
                     .field("debugValue4", state.debugValue4)
                     .field("debugValue5", state.debugValue5)
                     .field("debugValue7", state.debugValue7)
                     .field("debugValue8", state.debugValue8)
                     .field("entryCount", state.entryCount)
                     .field("entries", std::vector<int>(state.entries, state.entries + count)));
  });
}

}  // namespace

void addSensorCommands(CommandTable &table, CLI::App &root) {
  auto &sensor = table.noun(root, "sensor", "Single sensors");
  addList(table, sensor);
  addValues(table, sensor);
  addInfo(table, sensor);
  addThresholds(table, sensor);
  addVrmGoodness(table, sensor);
  addSensorWatch(table, sensor);
  addFan(table, root);
}

}  // namespace qel::cli
