// SPDX-License-Identifier: Apache-2.0
// The scenario's timeline: control commands that run by themselves, each a given number of
// seconds after the scenario is loaded ("at 30 s, set cpu0-temp to 97").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "simulator/model/scenario.hpp"

namespace qel::simd {

class JsonNode;

// Reads the entries of a scenario's "timeline" array, sorted by time; throws ScenarioError.
std::vector<TimelineEntry> readTimeline(const JsonNode &list);

class Timeline {
 public:
  // Starts over with `entries`, counting from `start` (seconds of the SP's clock).
  void restart(const std::vector<TimelineEntry> &entries, double start);
  double start() const { return start_; }
  // The commands due at `now` (seconds of the SP's clock), each handed out once.
  std::vector<std::string> due(double now);
  // When the next command is due, in seconds of the SP's clock.
  std::optional<double> next() const;

 private:
  std::vector<TimelineEntry> entries_;
  std::size_t done_ = 0;
  double start_ = -1;
};

}  // namespace qel::simd
