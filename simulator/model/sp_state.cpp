// SPDX-License-Identifier: Apache-2.0
// The simulated SP: loading and restoring its scenario, reboots, the event log and the
// platform. Its network and administration are in sp_state_network.cpp and sp_state_admin.cpp.
#include "simulator/model/sp_state.hpp"

#include <algorithm>

#include "simulator/model/formats.hpp"
#include "simulator/model/log.hpp"

namespace qel::simd {

namespace {

constexpr std::size_t kEventLogSize = 64;

}  // namespace

std::string_view statusName(int status) {
  switch (status) {
    case kStatusOk:
      return "ok";
    case kStatusWarning:
      return "warning";
    case kStatusCritical:
      return "critical";
    case kStatusAbsent:
      return "absent";
    default:
      return "unknown";
  }
}

SpState::SpState(Scenario scenario) { load(std::move(scenario)); }

void SpState::load(Scenario scenario) {
  scenario_ = std::move(scenario);
  loadedAt_ = clock_.elapsed();
  restoreAll();
  logEvent("scenario loaded from " + scenario_.origin);
}

void SpState::restoreNetwork() {
  interfaces_.clear();
  for (const InterfaceSpec &spec : scenario_.interfaces) {
    interfaces_.push_back(
        {{spec.enabled, spec.dhcp, spec.ipAddress, spec.netmask, spec.gateway}, ""});
  }
  dns_ = scenario_.dns;
  hostname_ = scenario_.hostname;
}

void SpState::restoreAll() {
  restoreNetwork();
  clock_.resetWallClock(scenario_.date);
  poweredOn_ = scenario_.platform.poweredOn;
  // A host that is on in the scenario has long finished booting.
  poweredAt_ = clock_.elapsed() - scenario_.platform.bootSeconds;
  powerLevel_ = scenario_.platform.powerLevel;
  shutdownReason_ = scenario_.platform.shutdownReason;
  sensors_.clear();
  for (const SensorSpec &spec : scenario_.sensors) {
    sensors_.push_back({spec, std::nullopt, {spec.thresholds, spec.flags}});
  }
  components_ = scenario_.components;
  statusOverrides_.clear();
  fan_ = scenario_.fan;
  console_ = scenario_.console;
  cpuConfiguration_.reset();
  pbm_ = scenario_.pbmStrings;
  processes_.clear();
  notifications_ = 0;
  lastNotification_ = 0;
  events_.clear();
}

void SpState::reboot() {
  clock_.reboot();
  ++boots_;
  processes_.clear();
  notifications_ = 0;
  lastNotification_ = 0;
  logEvent("SP rebooted");
}

void SpState::logEvent(std::string text) {
  logf(kLogInfo, "event: %s", text.c_str());
  events_.push_back({clock_.now(), std::move(text)});
  if (events_.size() > kEventLogSize) events_.pop_front();
}

// ----- platform -------------------------------------------------------------------------------

double SpState::bootProgress() const {
  if (!poweredOn_) return 0;
  const double boot = scenario_.platform.bootSeconds;
  if (boot <= 0) return 1;
  return std::clamp((clock_.elapsed() - poweredAt_) / boot, 0.0, 1.0);
}

int SpState::platformState() const {
  if (!poweredOn_) return kHostOff;
  return bootProgress() < 1 ? kHostBooting : kHostRunning;
}

void SpState::powerOn() {
  poweredOn_ = true;
  poweredAt_ = clock_.elapsed();
  logEvent("host powered on");
}

void SpState::powerOff(int reason) {
  poweredOn_ = false;
  shutdownReason_ = reason;
  logEvent("host powered off (reason " + std::to_string(reason) + ")");
}

int SpState::setPowerState(int state) {
  if (state != 0 && state != 1) return kBadValue;
  if (state == powerState()) return kOk;
  if (state == 1) {
    powerOn();
  } else {
    powerOff(kManagementRequest);
  }
  return kOk;
}

int SpState::setPowerLevel(int level) {
  if (level < 0 || level > 100) return kBadValue;
  powerLevel_ = level;
  logEvent("power level set to " + std::to_string(level));
  return kOk;
}

int SpState::setAction(int code, int option, int value, std::string_view text) {
  if (code < kPowerOn || code > kCycle) return kBadValue;
  if ((code == kPowerOn) == poweredOn_) return kWrongState;
  logEvent("action " + std::to_string(code) + " option " + std::to_string(option) + " value " +
           std::to_string(value) + (text.empty() ? "" : " " + quoted(text)));
  switch (code) {
    case kPowerOn:
      powerOn();
      break;
    case kShutdown:
      powerOff(kGracefulShutdown);
      break;
    case kPowerOff:
      powerOff(kManagementRequest);
      break;
    case kResetHost:
      shutdownReason_ = kReset;
      powerOn();
      break;
    default:
      powerOff(kPowerCycle);
      powerOn();
      break;
  }
  return kOk;
}

int SpState::pressButton(int button) {
  if (button < kPowerButtonPress || button > kNmiButton) return kBadValue;
  if (button == kPowerButtonPress) {
    logEvent("power button pressed");
    if (poweredOn_) {
      powerOff(kPowerButton);
    } else {
      powerOn();
    }
    return kOk;
  }
  if (!poweredOn_) return kWrongState;
  if (button == kResetButton) {
    logEvent("reset button pressed");
    shutdownReason_ = kReset;
    powerOn();
  } else {
    logEvent("NMI button pressed");
  }
  return kOk;
}

int SpState::machineCheck(int value1, int value2, int value3, std::string_view text) {
  logEvent("machine check " + std::to_string(value1) + " " + std::to_string(value2) + " " +
           std::to_string(value3) + " " + quoted(text));
  return kOk;
}

int SpState::dimmError(int value1, int value2, int value3, int value4, std::string_view text) {
  logEvent("DIMM error " + std::to_string(value1) + " " + std::to_string(value2) + " " +
           std::to_string(value3) + " " + std::to_string(value4) + " " + quoted(text));
  return kOk;
}

int SpState::platformType(std::string_view key) const {
  auto found = scenario_.platform.types.find(std::string(key));
  return found == scenario_.platform.types.end() ? 0 : found->second;
}

}  // namespace qel::simd
