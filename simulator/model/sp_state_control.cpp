// SPDX-License-Identifier: Apache-2.0
// Changes to the simulated SP that no procedure makes: what the control channel and the
// scenario timeline do to it from outside.
#include <algorithm>
#include <cmath>

#include "simulator/model/log.hpp"
#include "simulator/model/sp_state.hpp"

namespace qel::simd {

int SpState::pinSensor(std::string_view id, std::optional<float> value) {
  SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  if (value && !std::isfinite(*value)) return kBadValue;
  sensor->pinned = value;
  logEvent("sensor " + sensor->spec.id +
           (value ? " held at " + std::to_string(*value) : std::string(" released")));
  return kOk;
}

int SpState::setSensorAvailable(std::string_view id, bool available) {
  SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  sensor->spec.available = available;
  logEvent("sensor " + sensor->spec.id + (available ? " available" : " unavailable"));
  return kOk;
}

void SpState::setHostPower(bool on, int shutdownReason) {
  if (on && !poweredOn_) {
    powerOn();
  } else if (!on) {
    powerOff(shutdownReason);
  }
}

int SpState::setComponentPresent(std::string_view name, bool present) {
  auto found = std::find_if(components_.begin(), components_.end(),
                            [&](const ComponentSpec &c) { return c.name == name; });
  if (found == components_.end()) return kNoSuchItem;
  found->present = present;
  logEvent("component " + found->name + (present ? " inserted" : " removed"));
  return kOk;
}

int SpState::setComponentStatus(std::string_view name, std::optional<int> status) {
  if (!findComponent(name)) return kNoSuchItem;
  if (status) {
    statusOverrides_.insert_or_assign(std::string(name), *status);
  } else if (auto found = statusOverrides_.find(name); found != statusOverrides_.end()) {
    statusOverrides_.erase(found);
  }
  logEvent("component " + std::string(name) + " status " +
           (status ? std::string(statusName(*status)) : std::string("from its sensors")));
  return kOk;
}

void SpState::setFan(const FanSpec &fan) {
  fan_ = fan;
  logEvent("fan controller set");
}

void SpState::advanceClock(double seconds) {
  clock_.advance(seconds);
  logEvent("clock advanced by " + std::to_string(static_cast<long>(seconds)) + " s");
}

}  // namespace qel::simd
