// SPDX-License-Identifier: Apache-2.0
#include "tools/threshold_state.hpp"

namespace qel::tools {

ThresholdState thresholdState(float reading, const SensorThresholds &thresholds) {
  if (reading == QEL_NO_READING) return ThresholdState::kNoReading;
  // Flags travel as bytes, so only their low 8 bits say whether a threshold is in use.
  auto below = [reading](int flag, float limit) { return (flag & 0xFF) != 0 && reading <= limit; };
  auto above = [reading](int flag, float limit) { return (flag & 0xFF) != 0 && reading >= limit; };
  if (below(thresholds.thresholdFlag1, thresholds.threshold1) ||
      above(thresholds.thresholdFlag4, thresholds.threshold4)) {
    return ThresholdState::kCritical;
  }
  if (below(thresholds.thresholdFlag2, thresholds.threshold2) ||
      above(thresholds.thresholdFlag3, thresholds.threshold3)) {
    return ThresholdState::kWarning;
  }
  return ThresholdState::kOk;
}

std::string_view stateName(ThresholdState state) {
  switch (state) {
    case ThresholdState::kOk:
      return "ok";
    case ThresholdState::kWarning:
      return "warning";
    case ThresholdState::kCritical:
      return "critical";
    case ThresholdState::kNoReading:
      return "no reading";
  }
  return "unknown";
}

}  // namespace qel::tools
