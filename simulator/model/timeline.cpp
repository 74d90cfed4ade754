// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/timeline.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "simulator/model/scenario_reader.hpp"

namespace qel::simd {

namespace {

constexpr std::size_t kMaxEntries = 10000;

// An entry is a control request with its time: {"at": 30, "cmd": "sensor", ...}. The command
// itself is checked when it runs, by the same code that serves the control channel.
TimelineEntry readEntry(const JsonNode &node) {
  node.required("cmd").text();
  const JsonNode at = node.required("at");
  TimelineEntry entry{at.number(), {}};
  if (entry.at < 0) at.fail("must not be negative");
  nlohmann::json command = node.json();
  command.erase("at");
  entry.command = command.dump();
  return entry;
}

}  // namespace

std::vector<TimelineEntry> readTimeline(const JsonNode &list) {
  std::vector<TimelineEntry> entries;
  for (const JsonNode &node : list.items(kMaxEntries)) entries.push_back(readEntry(node));
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TimelineEntry &a, const TimelineEntry &b) { return a.at < b.at; });
  return entries;
}

void Timeline::restart(const std::vector<TimelineEntry> &entries, double start) {
  entries_ = entries;
  done_ = 0;
  start_ = start;
}

std::vector<std::string> Timeline::due(double now) {
  std::vector<std::string> commands;
  while (done_ < entries_.size() && start_ + entries_[done_].at <= now) {
    commands.push_back(entries_[done_++].command);
  }
  return commands;
}

std::optional<double> Timeline::next() const {
  if (done_ >= entries_.size()) return std::nullopt;
  return start_ + entries_[done_].at;
}

}  // namespace qel::simd
