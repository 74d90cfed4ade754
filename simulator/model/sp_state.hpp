// SPDX-License-Identifier: Apache-2.0
// The simulated service processor: everything the management procedures read and change.
// Single-threaded: the server calls it from its one loop.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/model/codes.hpp"
#include "simulator/model/scenario.hpp"
#include "simulator/model/sim_clock.hpp"

namespace qel::simd {

// Platform state values reported by PlatformGetState.
enum PlatformState : int { kHostOff = 0, kHostBooting = 1, kHostRunning = 2 };
// Shutdown reasons reported by PlatformGetOffReason.
enum ShutdownReason : int {
  kNoShutdown = 0,
  kManagementRequest = 1,
  kPowerButton = 2,
  kGracefulShutdown = 3,
  kReset = 4,
  kPowerCycle = 5,
};
// Platform action codes of PlatformSetAction and buttons of PlatformButton.
enum ActionCode : int { kPowerOn = 1, kShutdown = 2, kPowerOff = 3, kResetHost = 4, kCycle = 5 };
enum Button : int { kPowerButtonPress = 1, kResetButton = 2, kNmiButton = 3 };
// Component status values of SysGetComponentStatus.
enum ComponentStatus : int {
  kStatusOk = 0,
  kStatusWarning = 1,
  kStatusCritical = 2,
  kStatusAbsent = 3
};

std::string_view statusName(int status);

struct InterfaceSettings {
  bool enabled = false;
  bool dhcp = false;
  std::optional<uint32_t> ipAddress;
  std::optional<uint32_t> netmask;
  std::optional<uint32_t> gateway;
};

struct InterfaceReport {
  InterfaceSettings settings;  // what the interface uses now (the lease while on DHCP)
  std::string label;
  std::array<uint8_t, 6> hardwareAddress{};
};

struct ThresholdSet {
  std::array<float, 4> values{};
  std::array<uint8_t, 4> flags{};
};

struct FanReport {
  int mode = 0;
  int targetTemperature = 0;
  int duty = 0;
  int minimumDuty = 0;
  int maximumDuty = 0;
  int hottest = 0;
  int periodMs = 0;
  int failedFans = 0;
  std::vector<int> speeds;  // at most 16
};

struct SensorState {
  SensorSpec spec;
  std::optional<float> pinned;  // a value set through SysSetSensorValue holds until a reset
  ThresholdSet thresholds;
};

struct Event {
  int64_t time;
  std::string text;
};

class SpState {
 public:
  explicit SpState(Scenario scenario);

  // Replaces the scenario and restores every setting from it (configure).
  void load(Scenario scenario);
  // A simulated SP reboot: uptime restarts and the SP's volatile bookkeeping is lost; the host
  // and the stored settings are untouched.
  void reboot();
  const Scenario &scenario() const { return scenario_; }
  const SimClock &clock() const { return clock_; }
  // SimClock::elapsed() when the scenario was last loaded; its timeline counts from there.
  double loadedAt() const { return loadedAt_; }
  void countRequest() { ++requests_; }

  // Network. Selector 0 is the only configuration.
  int interface(unsigned selector, unsigned id, InterfaceReport &out) const;
  int setInterface(unsigned selector, unsigned id, const InterfaceSettings &settings,
                   std::string_view requestText);
  int dns(unsigned selector, DnsSpec &out) const;
  int setDns(unsigned selector, const DnsSpec &dns);
  int hostname(unsigned selector, std::string &out) const;
  int setHostname(unsigned selector, std::string_view hostname);
  int setDate(std::string_view text);
  // 0 restores the whole starting scenario, 1 only the network settings.
  int resetToDefaults(unsigned selector);

  // Platform. Getters of signed-value procedures return the value.
  int platformState() const;
  int powerState() const { return poweredOn_ ? 1 : 0; }
  int powerLevel() const { return powerLevel_; }
  int shutdownReason() const { return shutdownReason_; }
  int setPowerState(int state);
  int setPowerLevel(int level);
  int setAction(int code, int option, int value, std::string_view text);
  int pressButton(int button);
  int machineCheck(int value1, int value2, int value3, std::string_view text);
  int dimmError(int value1, int value2, int value3, int value4, std::string_view text);
  // 0 for an unknown key.
  int platformType(std::string_view key) const;

  // Sensors, components and the fan.
  const std::vector<SensorState> &sensors() const { return sensors_; }
  const std::vector<ComponentSpec> &components() const { return components_; }
  const SensorState *findSensor(std::string_view id) const;
  const ComponentSpec *findComponent(std::string_view name) const;
  float reading(const SensorState &sensor) const;
  int sensorStatus(const SensorState &sensor) const;
  int sensorValue(std::string_view id, float &out) const;
  int setSensorValue(std::string_view id, float value);
  int thresholds(std::string_view id, ThresholdSet &out) const;
  int setThresholds(std::string_view id, const ThresholdSet &thresholds);
  // Signed-value forms: the value, or minus a code.
  int componentStatus(std::string_view name) const;
  int presence(std::string_view name) const;
  int vrmGoodness(int selector, std::vector<int> &out) const;
  // kind 0 lists every kind; component 0 every component, n the n-th of the scenario.
  int sensorList(int kind, int component, std::vector<std::string> &out) const;
  FanReport fanState() const;

  // Administration.
  const ConsoleSpec &console() const { return console_; }
  int setConsole(const ConsoleSpec &console);
  int setCpuConfiguration(const std::array<int64_t, 5> &values);
  int pbmString(unsigned slot, std::string &out) const;
  int setPbmString(unsigned slot, std::string_view text);
  int registerProcess(int pid, uint32_t tag);
  int notify(int notification);
  std::string internalState() const;
  const std::deque<Event> &events() const { return events_; }

  // Changes from the control channel and the scenario timeline; kNoSuchItem for an unknown
  // sensor or component.
  // Holds a sensor at `value`, or lets it wander again when there is none.
  int pinSensor(std::string_view id, std::optional<float> value);
  int setSensorAvailable(std::string_view id, bool available);
  void setHostPower(bool on, int shutdownReason);
  int setComponentPresent(std::string_view name, bool present);
  // Reports the component with `status`, or with the worst of its sensors when there is none.
  int setComponentStatus(std::string_view name, std::optional<int> status);
  const FanSpec &fan() const { return fan_; }
  void setFan(const FanSpec &fan);
  void advanceClock(double seconds);

 private:
  void restoreNetwork();
  void restoreAll();
  void powerOn();
  void powerOff(int reason);
  void logEvent(std::string text);
  bool hostPowered() const { return poweredOn_; }
  double bootProgress() const;
  SensorState *findSensor(std::string_view id);
  std::string describeInterfaces() const;

  Scenario scenario_;
  SimClock clock_;
  double loadedAt_ = 0;
  unsigned boots_ = 1;
  unsigned long requests_ = 0;

  struct Interface {
    InterfaceSettings settings;
    std::string lastRequest;
  };
  std::vector<Interface> interfaces_;
  DnsSpec dns_;
  std::string hostname_;

  bool poweredOn_ = false;
  double poweredAt_ = 0;  // SimClock::elapsed() at power-on
  int powerLevel_ = 100;
  int shutdownReason_ = 0;

  std::vector<SensorState> sensors_;
  std::vector<ComponentSpec> components_;
  std::map<std::string, int, std::less<>> statusOverrides_;
  FanSpec fan_;
  ConsoleSpec console_;
  std::optional<std::array<int64_t, 5>> cpuConfiguration_;
  std::map<unsigned, std::string> pbm_;
  std::map<int, uint32_t> processes_;
  unsigned long notifications_ = 0;
  int lastNotification_ = 0;
  std::deque<Event> events_;
};

}  // namespace qel::simd
