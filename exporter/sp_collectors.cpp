// SPDX-License-Identifier: Apache-2.0
// The components, platform, network and fan collectors. The server's codes of a component's
// status, the platform's state, the last shutdown's reason and the fan controller's mode are
// written as state sets (docs/exporter.md has their meanings); a code past the known ones is
// "unknown".
#include <qel.h>

#include <string>

#include "exporter/collectors.hpp"
#include "exporter/families.hpp"
#include "tools/components.hpp"
#include "tools/heap_texts.hpp"
#include "tools/network_text.hpp"
#include "tools/result_names.hpp"

namespace qel::exporter {
namespace {

// Interfaces are asked for from 0 until the server says there is no such one.
constexpr unsigned kMostInterfaces = 64;

// The dotted-quad text of an address the server marks valid, else "".
std::string addressText(bool valid, unsigned address) {
  char *text = nullptr;
  return valid && qelIPAddressToString(address, &text) == RESULT_OK ? tools::takenText(text) : "";
}

// The state a code names in `family`: its "unknown" (the last) for a code past the others.
std::size_t stateOf(const Family &family, int code) {
  const std::size_t unknown = family.states.size() - 1;
  return code >= 0 && static_cast<std::size_t>(code) < unknown ? static_cast<std::size_t>(code)
                                                               : unknown;
}

}  // namespace

void countItemError(Collected &out, const std::string &item, unsigned code) {
  if (out.itemErrors++ == 0) out.firstItemError = item + ": " + tools::describeResult(code);
}

unsigned collectComponents(SpSession &sp, const tools::SensorMapping &, Collected &out) {
  char *report = nullptr;
  if (const unsigned code = sp.call([&] { return qelSysGetPresenceDetectAll(&report); })) {
    return code;
  }
  for (const std::string &name : tools::componentNames(tools::takenText(report))) {
    int present = 0, status = 0;
    unsigned code = sp.call([&] { return qelSysGetPresenceDetect(name.c_str(), &present); });
    if (code == RESULT_OK) {
      code = sp.call([&] { return qelSysGetComponentStatus(name.c_str(), &status); });
    }
    if (itemFailure(sp, code)) {
      countItemError(out, "component " + name, code);
      continue;
    }
    if (code != RESULT_OK) return code;
    out.metrics.add(family::kPresent, {{"component", name}}, present);
    out.metrics.addStates(family::kComponentStatus, {{"component", name}},
                          stateOf(family::kComponentStatus, status));
  }
  return RESULT_OK;
}

unsigned collectPlatform(SpSession &sp, const tools::SensorMapping &, Collected &out) {
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
  MetricSet &metrics = out.metrics;
  metrics.add(family::kPowerOn, {}, power);
  metrics.addStates(family::kPlatformState, {}, stateOf(family::kPlatformState, state));
  metrics.add(family::kPowerLevel, {}, level / 100.0);
  metrics.addStates(family::kShutdownReason, {}, stateOf(family::kShutdownReason, reason));
  metrics.add(family::kSpInfo,
              {{"hostname", tools::takenText(hostname)},
               {"product", named ? tools::takenText(product) : ""}},
              1);
  return RESULT_OK;
}

unsigned collectNetwork(SpSession &sp, const tools::SensorMapping &, Collected &out) {
  MetricSet &metrics = out.metrics;
  for (unsigned i = 0; i < kMostInterfaces; ++i) {
    IPInfo ip{};
    if (const unsigned code = sp.call([&] { return qelGetIP(0, i, &ip); })) {
      // A code of the server's own after the first interface: there are no more.
      if (i > 0 && tools::findResultName(code) == nullptr) break;
      return code;
    }
    const std::string number = std::to_string(i);
    metrics.add(family::kEnabled, {{"interface", number}, {"label", ip.label}}, ip.enabled);
    metrics.add(family::kDhcp, {{"interface", number}, {"label", ip.label}}, ip.dhcp);
    metrics.add(family::kInterfaceInfo,
                {{"interface", number},
                 {"label", ip.label},
                 {"address", addressText(ip.ipAddressValid, ip.ipAddress)},
                 {"hardware_address", tools::hardwareAddressText(ip.hardwareAddress)}},
                1);
  }
  return RESULT_OK;
}

unsigned collectFan(SpSession &sp, const tools::SensorMapping &, Collected &out) {
  FanState fan{};
  if (const unsigned code = sp.call([&] { return qelGetFanState(&fan); })) return code;
  out.metrics.addStates(family::kFanMode, {}, stateOf(family::kFanMode, fan.debugValue1));
  out.metrics.add(family::kFanTarget, {}, fan.debugValue2);
  out.metrics.add(family::kFanDuty, {}, fan.debugValue3 / 100.0);
  out.metrics.add(family::kFanFailed, {}, fan.debugValue8);
  return RESULT_OK;
}

}  // namespace qel::exporter
