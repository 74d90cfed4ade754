// SPDX-License-Identifier: Apache-2.0
#include "cli/sensor_reading.hpp"

#include "cli/session.hpp"
#include "tools/threshold_state.hpp"

namespace qel::cli {

Json readingValue(float value) { return value == QEL_NO_READING ? Json() : floatValue(value); }

float readSensor(const std::string &sensor) {
  float value = 0;
  check(qelSysGetSensorValue(sensor.c_str(), &value), "cannot read sensor '" + sensor + "'");
  return value;
}

SensorThresholds readThresholds(const std::string &sensor) {
  SensorThresholds thresholds{};
  check(qelSysGetSensorThresholds(sensor.c_str(), &thresholds),
        "cannot read the thresholds of sensor '" + sensor + "'");
  return thresholds;
}

}  // namespace qel::cli
