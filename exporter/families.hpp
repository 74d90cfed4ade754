// SPDX-License-Identifier: Apache-2.0
// Every metric family the exporter names itself, in one place: what a scrape of an SP reports
// beside the readings (whose families the sensor mapping names), and what the exporter reports
// of itself. A sensor mapping may not reuse any of these names.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "exporter/metric_set.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

namespace family {

// Each collection.
extern const Family kUp, kDuration, kItemErrors;
// Sensors.
extern const Family kUnmapped, kUnmappedThreshold, kAvailable, kSensorState;
// Components, platform, network, fan.
extern const Family kPresent, kComponentStatus, kPowerOn, kPlatformState, kPowerLevel,
    kShutdownReason, kSpInfo, kEnabled, kDhcp, kInterfaceInfo, kFanMode, kFanTarget, kFanDuty,
    kFanFailed;
// The exporter itself: its version, HTTP side and workers, and the process.
extern const Family kBuildInfo, kRequests, kScrapesInProgress, kWorkers, kConnections,
    kRefusedConnections, kRejectedRequests, kOpenConnections;
extern const Family kCpuSeconds, kOpenFds, kMaxFds, kVirtualMemory, kResidentMemory, kStartTime;

}  // namespace family

// The names above, for checking a configuration against them.
std::span<const Family *const> ownFamilies();

// Why the reading and threshold families `mapping` names cannot be written beside the
// exporter's own (one of them, or a name Prometheus reserves for other types), or "".
std::string mappingNameProblem(const tools::SensorMapping &mapping);

// The family of the thresholds of readings written to `readingMetric`: "_threshold" before the
// base unit that ends the name (qel_voltage_volts: qel_voltage_threshold_volts), else after it.
std::string thresholdMetric(std::string_view readingMetric);

}  // namespace qel::exporter
