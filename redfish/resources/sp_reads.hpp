// SPDX-License-Identifier: Apache-2.0
// What several resource families read of the SP: the components with their presence and
// status, and the sensors with their catalogue entry, reading and thresholds.
#pragma once

#include <qel.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "redfish/resources/sp_link.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::redfish {

// What a component is, by the start of its name (the management server's naming: cpu0, dimm1,
// psu0, fan0): processors and memory modules are the host's, supplies the chassis's.
enum class ComponentKind { kProcessor, kMemory, kPowerSupply, kOther };
ComponentKind kindOf(std::string_view name);

struct Component {
  std::string name;
  bool present = false;
  int status = 0;  // 0 ok, 1 warning, 2 critical, 3 absent
};

std::vector<Component> components(SpLink &sp);
// One component of kind `kind`; 404 (ResourceNotFound of `type`) when there is none such.
Component component(SpLink &sp, ComponentKind kind, const std::string &name, std::string_view type);
// "OK", "Warning" or "Critical"; "" for an absent component or a status the service does not
// know.
std::string_view healthOf(int status);
// The worst health of the present components: "OK" when all are well.
std::string_view worstHealth(const std::vector<Component> &all);
// {"State": "Enabled" or "Absent", "Health": ...}
Json componentStatus(const Component &component);

struct SensorData {
  std::string id;
  SensorInfo info{};
  float value = QEL_NO_READING;
  std::optional<SensorThresholds> thresholds;  // read when the sensor has a reading
  const tools::SensorRule *rule = nullptr;     // null: no rule maps the sensor
};

std::vector<std::string> sensorIds(SpLink &sp);
// One sensor, 404 (ResourceNotFound Sensor) for an id the SP does not know; `info`, when given,
// is its catalogue entry as read already.
SensorData sensor(SpLink &sp, const tools::SensorMapping &mapping, const std::string &id,
                  const SensorInfo *info = nullptr);
// Every sensor whose catalogue entry `keep` accepts, with its reading.
std::vector<SensorData> sensorsWhere(SpLink &sp, const tools::SensorMapping &mapping,
                                     bool (*keep)(const tools::SensorMapping &,
                                                  const SensorInfo &));
// The sensor's label (catalogue text 2, as qel-simd orders them), or its id when it has none.
std::string sensorLabel(const SensorData &sensor);
// The URI of the sensor `id`.
std::string sensorUri(const std::string &id);
// The reading in the base unit of what it measures.
double scaled(const SensorData &sensor, float value);
// The four thresholds (lower critical, lower warning, upper warning, upper critical) in the base
// unit, each nothing when it is not in use; all nothing without a reading.
std::array<std::optional<double>, 4> thresholdReadings(const SensorData &sensor);
// Every sensor with its reading.
std::vector<SensorData> allSensors(SpLink &sp, const tools::SensorMapping &mapping);
// The Health of a sensor by the threshold rule qelctl and qel-exporter use; "" without a
// reading.
std::string_view sensorHealth(const SensorData &sensor);

}  // namespace qel::redfish
