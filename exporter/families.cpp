// SPDX-License-Identifier: Apache-2.0
#include "exporter/families.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace qel::exporter {
namespace family {

const Family kUp{"qel_up", "1 when the collector's collection succeeded, else 0."};
const Family kDuration{"qel_collector_duration_seconds", "How long the collector took."};
const Family kItemErrors{"qel_collector_item_errors",
                         "Items (sensors, components) the collector could not read in this "
                         "scrape; their series are left out."};

const Family kUnmapped{"qel_sensor_value",
                       "Readings of sensors that no rule maps, in the unit the server names."};
const Family kUnmappedThreshold{"qel_sensor_threshold",
                                "Thresholds in use of sensors that no rule maps, in their unit."};
const Family kAvailable{"qel_sensor_available",
                        "1 when the sensor has a reading, 0 when it reads the no-reading value."};
const Family kSensorState{"qel_sensor_state",
                          "The reading against its thresholds.",
                          MetricType::kStateSet,
                          {"ok", "warning", "critical"}};

const Family kPresent{"qel_component_present", "1 when the component is present, else 0."};
const Family kComponentStatus{"qel_component_status",
                              "The component's status.",
                              MetricType::kStateSet,
                              {"ok", "warning", "critical", "absent", "unknown"}};
const Family kPowerOn{"qel_platform_power_on", "1 when the host is powered on, else 0."};
const Family kPlatformState{"qel_platform_state",
                            "The host's platform state.",
                            MetricType::kStateSet,
                            {"off", "booting", "running", "unknown"}};
const Family kPowerLevel{"qel_platform_power_level_ratio",
                         "The host's power level: its cap as a share of full power."};
const Family kShutdownReason{"qel_platform_last_shutdown_reason",
                             "Why the host last shut down.",
                             MetricType::kStateSet,
                             {"none", "management_request", "power_button", "graceful_shutdown",
                              "reset", "power_cycle", "unknown"}};
const Family kSpInfo{"qel_sp_info", "The service processor's identity.", MetricType::kInfo};
const Family kEnabled{"qel_network_interface_enabled", "1 when the interface is enabled."};
const Family kDhcp{"qel_network_interface_dhcp", "1 when the interface takes DHCP addresses."};
const Family kInterfaceInfo{"qel_network_interface_info", "The interface's addresses.",
                            MetricType::kInfo};
const Family kFanMode{"qel_fan_controller_mode",
                      "The fan controller's mode.",
                      MetricType::kStateSet,
                      {"automatic", "manual", "unknown"}};
const Family kFanTarget{"qel_fan_controller_target_temperature_celsius",
                        "The temperature the fan controller steers for."};
const Family kFanDuty{"qel_fan_controller_duty_ratio", "The fans' present duty, 0 to 1."};
const Family kFanFailed{"qel_fan_controller_failed_fans",
                        "Fans the controller counts outside their thresholds."};

const Family kBuildInfo{"qel_exporter_build_info", "The exporter's version.", MetricType::kInfo};
const Family kRequests{"qel_exporter_http_requests_total",
                       "HTTP requests the exporter answered, by path and status code.",
                       MetricType::kCounter};
const Family kScrapesInProgress{"qel_exporter_scrapes_in_progress",
                                "Scrapes of SPs being answered now."};
const Family kWorkers{"qel_exporter_targets", "SPs with a worker and connection of their own."};
const Family kConnections{"qel_exporter_http_connections_total", "HTTP connections accepted.",
                          MetricType::kCounter};
const Family kRefusedConnections{"qel_exporter_http_refused_connections_total",
                                 "HTTP connections closed at once over a connection bound.",
                                 MetricType::kCounter};
const Family kRejectedRequests{
    "qel_exporter_http_rejected_requests_total",
    "HTTP requests the server answered itself: malformed, too large, too slow, or over the queue.",
    MetricType::kCounter};
const Family kOpenConnections{"qel_exporter_http_open_connections", "HTTP connections open now."};

const Family kCpuSeconds{"process_cpu_seconds_total", "User and system CPU time spent, in seconds.",
                         MetricType::kCounter};
const Family kOpenFds{"process_open_fds", "Open file descriptors."};
const Family kMaxFds{"process_max_fds", "The limit of open file descriptors."};
const Family kVirtualMemory{"process_virtual_memory_bytes", "Virtual memory size in bytes."};
const Family kResidentMemory{"process_resident_memory_bytes", "Resident memory size in bytes."};
const Family kStartTime{"process_start_time_seconds",
                        "Start time of the process since the Unix epoch, in seconds."};

}  // namespace family

std::span<const Family *const> ownFamilies() {
  using namespace family;
  static const std::array kAll{&kUp,
                               &kDuration,
                               &kItemErrors,
                               &kUnmapped,
                               &kUnmappedThreshold,
                               &kAvailable,
                               &kSensorState,
                               &kPresent,
                               &kComponentStatus,
                               &kPowerOn,
                               &kPlatformState,
                               &kPowerLevel,
                               &kShutdownReason,
                               &kSpInfo,
                               &kEnabled,
                               &kDhcp,
                               &kInterfaceInfo,
                               &kFanMode,
                               &kFanTarget,
                               &kFanDuty,
                               &kFanFailed,
                               &kBuildInfo,
                               &kRequests,
                               &kScrapesInProgress,
                               &kWorkers,
                               &kConnections,
                               &kRefusedConnections,
                               &kRejectedRequests,
                               &kOpenConnections,
                               &kCpuSeconds,
                               &kOpenFds,
                               &kMaxFds,
                               &kVirtualMemory,
                               &kResidentMemory,
                               &kStartTime};
  return kAll;
}

namespace {

// The sample name and, where it differs, the OpenMetrics family name of each of our families.
bool ownName(std::string_view name) {
  for (const Family *own : ownFamilies()) {
    std::string_view base = own->name;
    for (std::string_view suffix : {"_info", "_total"}) {
      if (own->type != MetricType::kGauge && base.ends_with(suffix)) {
        base.remove_suffix(suffix.size());
      }
    }
    if (name == own->name || name == base) return true;
  }
  return false;
}

}  // namespace

std::string mappingNameProblem(const tools::SensorMapping &mapping) {
  std::vector<std::string> readings, thresholds;
  for (const tools::SensorRule &rule : mapping.rules) {
    readings.push_back(rule.metric);
    thresholds.push_back(thresholdMetric(rule.metric));
  }
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const std::string where = "\"sensors\"[" + std::to_string(i) + "]: \"metric\" ";
    for (const std::string &name : {readings[i], thresholds[i]}) {
      if (ownName(name)) return where + name + " is one of the exporter's own families";
      if (std::find(readings.begin(), readings.end(), name) != readings.end() &&
          name == thresholds[i]) {
        return where + readings[i] + " has the thresholds family " + name +
               ", which another rule names for readings";
      }
    }
    for (std::string_view suffix : {"_total", "_created", "_count", "_sum", "_bucket", "_info"}) {
      if (readings[i].ends_with(suffix)) {
        return where + readings[i] + " ends in " + std::string(suffix) +
               ", which Prometheus keeps for other types";
      }
    }
  }
  return "";
}

std::string thresholdMetric(std::string_view readingMetric) {
  static constexpr std::string_view kBaseUnits[] = {"_celsius", "_volts",  "_rpm",     "_amperes",
                                                    "_watts",   "_ratio",  "_seconds", "_bytes",
                                                    "_hertz",   "_joules", "_meters",  "_percent"};
  for (std::string_view unit : kBaseUnits) {
    if (readingMetric.ends_with(unit) && readingMetric.size() > unit.size()) {
      readingMetric.remove_suffix(unit.size());
      return std::string(readingMetric) + "_threshold" + std::string(unit);
    }
  }
  return std::string(readingMetric) + "_threshold";
}

}  // namespace qel::exporter
