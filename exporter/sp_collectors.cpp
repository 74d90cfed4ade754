// SPDX-License-Identifier: Apache-2.0
// The components, platform, network and fan collectors. The numbers are the server's and are
// passed on as they come; docs/exporter.md says what qel-simd means by them.
#include <qel.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "exporter/collectors.hpp"
#include "tools/result_names.hpp"

namespace qel::exporter {
namespace {

const Family kPresent{"qel_component_present", "1 when the component is present, else 0."};
const Family kStatus{"qel_component_status",
                     "The server's status of the component (qel-simd: 0 ok, 1 warning, "
                     "2 critical, 3 absent)."};
const Family kPowerOn{"qel_platform_power_on", "The server's power state of the host (1 on)."};
const Family kPlatformState{"qel_platform_state",
                            "The server's platform state (qel-simd: 0 off, 1 booting, 2 running)."};
const Family kPowerLevel{"qel_platform_power_level", "The server's power level of the host."};
const Family kShutdownReason{"qel_platform_last_shutdown_reason",
                             "The server's code for the reason of the last shutdown."};
const Family kSpInfo{"qel_sp_info", "The service processor's identity.", MetricType::kInfo};
const Family kEnabled{"qel_network_interface_enabled", "1 when the interface is enabled."};
const Family kDhcp{"qel_network_interface_dhcp", "1 when the interface takes DHCP addresses."};
const Family kInterfaceInfo{"qel_network_interface_info", "The interface's addresses.",
                            MetricType::kInfo};
const Family kFanMode{"qel_fan_controller_mode", "The fan controller's mode (0 automatic)."};
const Family kFanTarget{"qel_fan_controller_target_temperature_celsius",
                        "The temperature the fan controller steers for."};
const Family kFanDuty{"qel_fan_controller_duty_ratio", "The fans' present duty, 0 to 1."};
const Family kFanFailed{"qel_fan_controller_failed_fans",
                        "Fans the controller counts outside their thresholds."};

// Interfaces are asked for from 0 until the server says there is no such one.
constexpr unsigned kMostInterfaces = 64;

// A heap text of the library as a string, released.
std::string taken(char *text) {
  std::string result = text ? text : "";
  std::free(text);
  return result;
}

std::string hardwareText(const unsigned char (&address)[6]) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

// The dotted-quad text of an address the server marks valid, else "".
std::string addressText(bool valid, unsigned address) {
  char *text = nullptr;
  return valid && qelIPAddressToString(address, &text) == RESULT_OK ? taken(text) : "";
}

}  // namespace

unsigned collectComponents(SpSession &sp, const tools::SensorMapping &, MetricSet &metrics) {
  char *report = nullptr;
  if (const unsigned code = sp.call([&] { return qelSysGetPresenceDetectAll(&report); })) {
    return code;
  }
  // The report names one component a line, "NAME: present".
  std::istringstream lines(taken(report));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.rfind(": ");
    if (colon == std::string::npos || colon == 0) continue;
    const std::string name = line.substr(0, colon);
    int present = 0, status = 0;
    unsigned code = sp.call([&] { return qelSysGetPresenceDetect(name.c_str(), &present); });
    if (code == RESULT_OK) {
      code = sp.call([&] { return qelSysGetComponentStatus(name.c_str(), &status); });
    }
    if (code != RESULT_OK) return code;
    metrics.add(kPresent, {{"component", name}}, present);
    metrics.add(kStatus, {{"component", name}}, status);
  }
  return RESULT_OK;
}

unsigned collectPlatform(SpSession &sp, const tools::SensorMapping &, MetricSet &metrics) {
  int power = 0, state = 0, level = 0, reason = 0;
  char *hostname = nullptr;
  unsigned code = sp.call([&] { return qelPlatformGetPowerState(&power); });
  if (code == RESULT_OK) code = sp.call([&] { return qelPlatformGetState(&state); });
  if (code == RESULT_OK) code = sp.call([&] { return qelPlatformGetPowerLevel(&level); });
  if (code == RESULT_OK) code = sp.call([&] { return qelPlatformGetShutdownReason(&reason); });
  if (code == RESULT_OK) code = sp.call([&] { return qelGetHostname(0, &hostname); });
  if (code != RESULT_OK) return code;
  // Without the product map (or a line for this product) the product is left empty.
  char *product = nullptr;
  const bool named = sp.call([&] { return qelGetProductId(&product); }) == RESULT_OK;
  metrics.add(kPowerOn, {}, power);
  metrics.add(kPlatformState, {}, state);
  metrics.add(kPowerLevel, {}, level);
  metrics.add(kShutdownReason, {}, reason);
  metrics.add(kSpInfo, {{"hostname", taken(hostname)}, {"product", named ? taken(product) : ""}},
              1);
  return RESULT_OK;
}

unsigned collectNetwork(SpSession &sp, const tools::SensorMapping &, MetricSet &metrics) {
  for (unsigned i = 0; i < kMostInterfaces; ++i) {
    IPInfo ip{};
    if (const unsigned code = sp.call([&] { return qelGetIP(0, i, &ip); })) {
      // A code of the server's own after the first interface: there are no more.
      if (i > 0 && tools::findResultName(code) == nullptr) break;
      return code;
    }
    const std::string number = std::to_string(i);
    metrics.add(kEnabled, {{"interface", number}, {"label", ip.label}}, ip.enabled);
    metrics.add(kDhcp, {{"interface", number}, {"label", ip.label}}, ip.dhcp);
    metrics.add(kInterfaceInfo,
                {{"interface", number},
                 {"label", ip.label},
                 {"address", addressText(ip.ipAddressValid, ip.ipAddress)},
                 {"hardware_address", hardwareText(ip.hardwareAddress)}},
                1);
  }
  return RESULT_OK;
}

unsigned collectFan(SpSession &sp, const tools::SensorMapping &, MetricSet &metrics) {
  FanState fan{};
  if (const unsigned code = sp.call([&] { return qelGetFanState(&fan); })) return code;
  metrics.add(kFanMode, {}, fan.debugValue1);
  metrics.add(kFanTarget, {}, fan.debugValue2);
  metrics.add(kFanDuty, {}, fan.debugValue3 / 100.0);
  metrics.add(kFanFailed, {}, fan.debugValue8);
  return RESULT_OK;
}

}  // namespace qel::exporter
