// SPDX-License-Identifier: Apache-2.0
// sensor watch: a table of readings and threshold states, refreshed until the count runs out.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/commands.hpp"
#include "cli/sensor_reading.hpp"
#include "tools/result_names.hpp"
#include "tools/threshold_state.hpp"
#include "tools/utc_text.hpp"

namespace qel::cli {
namespace {

struct WatchSettings {
  std::vector<std::string> names;
  double interval = 2.0;
  unsigned count = 0;  // 0: until interrupted
};

const std::vector<Column> kColumns{{"sensor", "SENSOR"},
                                   {"value", "VALUE"},
                                   {"lowerCritical", "LOW CRIT"},
                                   {"lowerWarning", "LOW WARN"},
                                   {"upperWarning", "HIGH WARN"},
                                   {"upperCritical", "HIGH CRIT"},
                                   {"state", "STATE"}};

// Up to a day between refreshes, which any clock's duration holds.
bool isInterval(const std::string &text) {
  char *end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && seconds > 0 && seconds <= 86400;
}

// A threshold not in use shows as null.
Json limit(int flag, float value) { return (flag & 0xFF) != 0 ? floatValue(value) : Json(); }

// One row. A sensor that cannot be read keeps its row, which says why, and the watch goes on:
// it is for people looking at a machine, who want to see the other sensors all the same.
Json watchRow(const std::string &name) {
  Json row{{"sensor", name}};
  try {
    const float value = readSensor(name);
    const SensorThresholds t = readThresholds(name);
    row["value"] = readingValue(value);
    row["lowerCritical"] = limit(t.thresholdFlag1, t.threshold1);
    row["lowerWarning"] = limit(t.thresholdFlag2, t.threshold2);
    row["upperWarning"] = limit(t.thresholdFlag3, t.threshold3);
    row["upperCritical"] = limit(t.thresholdFlag4, t.threshold4);
    row["state"] = tools::stateName(tools::thresholdState(value, t));
  } catch (const Failure &error) {
    row["state"] = "error";
    row["error"] = tools::describeResult(error.code());
  }
  return row;
}

void watch(Session &session, const WatchSettings &settings) {
  const bool terminal = !session.options().json && isatty(STDOUT_FILENO) == 1;
  Json rounds = Json::array();
  for (unsigned round = 0; settings.count == 0 || round < settings.count; ++round) {
    if (round > 0) std::this_thread::sleep_for(std::chrono::duration<double>(settings.interval));
    Json rows = Json::array();
    for (const auto &name : settings.names) rows.push_back(watchRow(name));
    const std::string time = tools::utcText(std::time(nullptr), "%Y-%m-%d %H:%M:%S UTC");
    if (session.options().json) {
      rounds.push_back({{"time", time}, {"readings", std::move(rows)}});
      continue;
    }
    if (session.options().quiet) continue;
    // On a terminal the table is redrawn in place; piped, the tables follow each other.
    if (terminal) session.out() << "\033[H\033[2J";
    if (round > 0 && !terminal) session.out() << '\n';
    session.out() << time << '\n';
    Record().table("readings", kColumns, std::move(rows)).writeHuman(session.out());
    session.out().flush();
  }
  if (session.options().json) session.show(Record().field("rounds", std::move(rounds)));
}

}  // namespace

void addSensorWatch(CommandTable &table, CLI::App &sensor) {
  auto settings = argument<WatchSettings>();
  auto &app = table.verb(sensor, "watch", "Watch readings against their thresholds",
                         [settings](Session &session) { watch(session, *settings); });
  app.add_option("NAME", settings->names, "Sensor identifiers")->required()->check(sensorId());
  app.add_option("--interval", settings->interval,
                 "Seconds between refreshes, up to a day (default 2)")
      ->check(accepting(isInterval, " is not a number of seconds above 0 and up to 86400"));
  app.add_option("--count", settings->count, "Number of refreshes (default: until interrupted)");
  // One JSON document needs an end to be written at.
  app.parse_complete_callback([&app, settings] {
    const CLI::App *root = &app;
    while (root->get_parent() != nullptr) root = root->get_parent();
    if (root->get_option("--json")->count() > 0 && settings->count == 0) {
      throw CLI::ValidationError("--count", "sensor watch --json needs --count");
    }
  });
}

}  // namespace qel::cli
