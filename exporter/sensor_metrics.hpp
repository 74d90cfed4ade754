// SPDX-License-Identifier: Apache-2.0
// One sensor's samples: its reading in the family its kind and unit map to, whether it has a
// reading, the thresholds in use, and where the reading stands against them.
#pragma once

#include <qel.h>

#include <optional>
#include <string>

#include "exporter/metric_set.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

struct SensorReading {
  std::string id;
  SensorInfo info{};  // the catalogue's description
  float value = QEL_NO_READING;
  // Read only for a sensor that has a reading.
  std::optional<SensorThresholds> thresholds;
};

void addSensor(const tools::SensorMapping &mapping, const SensorReading &sensor,
               MetricSet &metrics);

}  // namespace qel::exporter
