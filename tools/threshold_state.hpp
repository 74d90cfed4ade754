// SPDX-License-Identifier: Apache-2.0
// How a reading stands against its thresholds. The four thresholds are taken as lower critical,
// lower warning, upper warning and upper critical, and one whose flag is 0 is not in use.
#pragma once

#include <qel.h>

#include <array>
#include <string_view>

namespace qel::tools {

enum class ThresholdState { kOk, kWarning, kCritical, kNoReading };

inline constexpr std::array<std::string_view, 4> kThresholdRoles{"lower critical", "lower warning",
                                                                 "upper warning", "upper critical"};

ThresholdState thresholdState(float reading, const SensorThresholds &thresholds);
std::string_view stateName(ThresholdState state);

}  // namespace qel::tools
