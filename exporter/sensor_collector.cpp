// SPDX-License-Identifier: Apache-2.0
// The sensors collector: every sensor of the catalogue with its description, reading and, when
// it has a reading, its thresholds.
#include <qel.h>

#include <string>
#include <vector>

#include "exporter/collectors.hpp"
#include "exporter/sensor_metrics.hpp"
#include "tools/heap_texts.hpp"

namespace qel::exporter {
namespace {

// The catalogue's identifiers.
unsigned sensorIds(SpSession &sp, std::vector<std::string> &ids) {
  unsigned count = 0;
  char **list = nullptr;
  // Kind 0 and component 0: every sensor of the catalogue.
  if (const unsigned code = sp.call([&] { return qelGetSensorList(0, 0, &count, &list); })) {
    return code;
  }
  ids = tools::takenTexts(list, count);
  return RESULT_OK;
}

}  // namespace

unsigned collectSensors(SpSession &sp, const tools::SensorMapping &mapping, Collected &out) {
  std::vector<std::string> ids;
  if (const unsigned code = sensorIds(sp, ids)) return code;
  for (const std::string &id : ids) {
    SensorReading sensor;
    sensor.id = id;
    const char *name = id.c_str();
    unsigned code = sp.call([&] { return qelGetSensorInfo(name, &sensor.info); });
    if (code == RESULT_OK)
      code = sp.call([&] { return qelSysGetSensorValue(name, &sensor.value); });
    if (code == RESULT_OK && sensor.value != QEL_NO_READING) {
      SensorThresholds thresholds{};
      code = sp.call([&] { return qelSysGetSensorThresholds(name, &thresholds); });
      sensor.thresholds = thresholds;
    }
    if (itemFailure(sp, code)) {
      countItemError(out, "sensor " + id, code);
      continue;
    }
    if (code != RESULT_OK) return code;
    addSensor(mapping, sensor, out.metrics);
  }
  return RESULT_OK;
}

}  // namespace qel::exporter
