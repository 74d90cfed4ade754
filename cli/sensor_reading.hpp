// SPDX-License-Identifier: Apache-2.0
// Reading one sensor's value and thresholds, shared by the sensor commands and the watch.
#pragma once

#include <qel.h>

#include <string>

#include "cli/output.hpp"

namespace qel::cli {

// A reading as JSON: null when the sensor has none.
Json readingValue(float value);

// Throws Failure when the sensor cannot be read.
float readSensor(const std::string &sensor);
SensorThresholds readThresholds(const std::string &sensor);

}  // namespace qel::cli
