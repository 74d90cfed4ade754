// SPDX-License-Identifier: Apache-2.0
// Sensors, components, VRMs and the fan controller of the simulated SP.
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

#include "qel.h"
#include "simulator/model/log.hpp"
#include "simulator/model/sp_state.hpp"

namespace qel::simd {

namespace {

constexpr std::size_t kMaxFanEntries = 16;
constexpr int kFanRampDegrees = 20;  // the duty climbs from minimum to maximum over these

// Each sensor wanders with its own phase, so that sensors of one kind do not move in step.
double phaseOf(const std::string &id) {
  return static_cast<double>(std::hash<std::string>{}(id) % 1000) / 1000.0 * 2 * std::numbers::pi;
}

}  // namespace

const SensorState *SpState::findSensor(std::string_view id) const {
  auto found = std::find_if(sensors_.begin(), sensors_.end(),
                            [&](const SensorState &s) { return s.spec.id == id; });
  return found == sensors_.end() ? nullptr : &*found;
}

SensorState *SpState::findSensor(std::string_view id) {
  return const_cast<SensorState *>(std::as_const(*this).findSensor(id));
}

const ComponentSpec *SpState::findComponent(std::string_view name) const {
  auto found = std::find_if(components().begin(), components().end(),
                            [&](const ComponentSpec &c) { return c.name == name; });
  return found == components().end() ? nullptr : &*found;
}

// While the host boots a reading moves from its powered-off value to its nominal one; power
// readings follow the power cap; every reading wanders slowly around where it should be.
float SpState::reading(const SensorState &sensor) const {
  const SensorSpec &spec = sensor.spec;
  if (!spec.available) return QEL_NO_READING;
  if (sensor.pinned) return *sensor.pinned;
  const double progress = bootProgress();
  double base = spec.offValue + (spec.value - spec.offValue) * progress;
  if (spec.kind == SensorKind::kPower && hostPowered()) base *= 0.4 + 0.6 * powerLevel_ / 100.0;
  const double wander =
      spec.swing * (hostPowered() ? 1.0 : 0.25) *
      std::sin(2 * std::numbers::pi * clock_.elapsed() / spec.period + phaseOf(spec.id));
  double value = base + wander;
  if (spec.maximum > spec.minimum) value = std::clamp<double>(value, spec.minimum, spec.maximum);
  return static_cast<float>(value);
}

// Like a real SP, thresholds are watched only while the host runs: a host that is off or still
// booting reads low everywhere.
int SpState::sensorStatus(const SensorState &sensor) const {
  if (!sensor.spec.available || platformState() != kHostRunning) return kStatusOk;
  const float value = reading(sensor);
  const auto &[limits, flags] = sensor.thresholds;
  if ((flags[0] && value <= limits[0]) || (flags[3] && value >= limits[3])) return kStatusCritical;
  if ((flags[1] && value <= limits[1]) || (flags[2] && value >= limits[2])) return kStatusWarning;
  return kStatusOk;
}

int SpState::sensorValue(std::string_view id, float &out) const {
  const SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  out = reading(*sensor);
  return kOk;
}

int SpState::setSensorValue(std::string_view id, float value) {
  SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  if (!sensor->spec.available) return kUnavailable;
  if (!std::isfinite(value)) return kBadValue;
  sensor->pinned = value;
  logf(kLogInfo, "sensor %s set to %g", sensor->spec.id.c_str(), static_cast<double>(value));
  return kOk;
}

int SpState::thresholds(std::string_view id, ThresholdSet &out) const {
  const SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  out = sensor->thresholds;
  return kOk;
}

int SpState::setThresholds(std::string_view id, const ThresholdSet &thresholds) {
  SensorState *sensor = findSensor(id);
  if (!sensor) return kNoSuchItem;
  if (!sensor->spec.available) return kUnavailable;
  if (!std::all_of(thresholds.values.begin(), thresholds.values.end(),
                   [](float v) { return std::isfinite(v); })) {
    return kBadValue;
  }
  sensor->thresholds = thresholds;
  logf(kLogInfo, "thresholds of %s set", sensor->spec.id.c_str());
  return kOk;
}

int SpState::componentStatus(std::string_view name) const {
  const ComponentSpec *component = findComponent(name);
  if (!component) return -kNoSuchItem;
  if (!component->present) return kStatusAbsent;
  if (auto forced = statusOverrides_.find(name); forced != statusOverrides_.end()) {
    return forced->second;
  }
  int worst = kStatusOk;
  for (const SensorState &sensor : sensors_) {
    if (sensor.spec.component == name) worst = std::max(worst, sensorStatus(sensor));
  }
  return worst;
}

int SpState::presence(std::string_view name) const {
  const ComponentSpec *component = findComponent(name);
  if (!component) return -kNoSuchItem;
  return component->present ? 1 : 0;
}

int SpState::vrmGoodness(int selector, std::vector<int> &out) const {
  auto found = std::find_if(scenario_.vrms.begin(), scenario_.vrms.end(),
                            [&](const VrmSpec &v) { return v.selector == selector; });
  if (found == scenario_.vrms.end()) return kNoSuchItem;
  out = found->goodness;
  // A regulator of a host that is off delivers nothing, good or bad.
  if (!hostPowered()) std::fill(out.begin(), out.end(), 0);
  return kOk;
}

int SpState::sensorList(int kind, int component, std::vector<std::string> &out) const {
  if (kind < 0 || kind > kSensorKindCount) return kBadValue;
  if (component < 0 || component > static_cast<int>(components().size())) return kNoSuchItem;
  out.clear();
  for (const SensorState &sensor : sensors_) {
    const bool kindMatches = kind == 0 || static_cast<int>(sensor.spec.kind) == kind;
    const bool componentMatches =
        component == 0 || sensor.spec.component == components()[component - 1].name;
    if (kindMatches && componentMatches) out.push_back(sensor.spec.id);
  }
  return kOk;
}

FanReport SpState::fanState() const {
  const FanSpec &fan = fan_;
  FanReport report;
  report.mode = fan.mode;
  report.targetTemperature = fan.targetTemperature;
  report.minimumDuty = fan.minimumDuty;
  report.maximumDuty = fan.maximumDuty;
  report.periodMs = fan.periodMs;
  double hottest = 0;
  for (const SensorState &sensor : sensors_) {
    if (!sensor.spec.available) continue;
    if (sensor.spec.kind == SensorKind::kTemperature) {
      hottest = std::max(hottest, static_cast<double>(reading(sensor)));
    } else if (sensor.spec.kind == SensorKind::kFan && report.speeds.size() < kMaxFanEntries) {
      report.speeds.push_back(static_cast<int>(std::lround(reading(sensor))));
      if (hostPowered() && sensorStatus(sensor) != kStatusOk) ++report.failedFans;
    }
  }
  report.hottest = static_cast<int>(std::lround(hottest));
  if (!hostPowered()) {
    report.duty = 0;
  } else if (fan.mode == 1) {
    report.duty = fan.maximumDuty;
  } else {
    const double above = hottest - (fan.targetTemperature - kFanRampDegrees);
    const double span = fan.maximumDuty - fan.minimumDuty;
    report.duty = static_cast<int>(std::lround(
        std::clamp(fan.minimumDuty + above * span / kFanRampDegrees,
                   static_cast<double>(fan.minimumDuty), static_cast<double>(fan.maximumDuty))));
  }
  return report;
}

}  // namespace qel::simd
