#include "server/sp_state.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "server/formats.hpp"
#include "server/log.hpp"

namespace qel::simd {

namespace {

constexpr std::size_t kEventLogSize = 64;
constexpr std::array<int, 8> kBaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool isValidHostname(std::string_view name) {
  if (name.empty() || name.size() > 253) return false;
  std::size_t labelLength = 0;
  char previous = '.';
  for (char c : name) {
    if (c == '.') {
      if (labelLength == 0 || previous == '-') return false;
      labelLength = 0;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || (c == '-' && labelLength > 0)) {
      if (++labelLength > 63) return false;
    } else {
      return false;
    }
    previous = c;
  }
  return labelLength > 0 && previous != '-';
}

// A host address a static configuration may use: not multicast, not the broadcast address.
bool isUsableAddress(uint32_t address) { return address < 0xE0000000u; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

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

// ----- network --------------------------------------------------------------------------------

int SpState::interface(unsigned selector, unsigned id, InterfaceReport &out) const {
  if (selector != 0 || id >= interfaces_.size()) return kNoSuchItem;
  const InterfaceSpec &spec = scenario_.interfaces[id];
  out.settings = interfaces_[id].settings;
  if (out.settings.dhcp) {
    // While on DHCP the interface reports its lease, once it is up.
    const bool leased = out.settings.enabled && spec.leaseAddress != 0;
    out.settings.ipAddress = leased ? std::optional(spec.leaseAddress) : std::nullopt;
    out.settings.netmask = leased ? std::optional(spec.leaseNetmask) : std::nullopt;
    out.settings.gateway = leased ? std::optional(spec.leaseGateway) : std::nullopt;
  }
  out.label = spec.label;
  out.hardwareAddress = spec.hardwareAddress;
  return kOk;
}

int SpState::setInterface(unsigned selector, unsigned id, const InterfaceSettings &settings,
                          std::string_view requestText) {
  if (selector != 0 || id >= interfaces_.size()) return kNoSuchItem;
  Interface &target = interfaces_[id];
  if (settings.dhcp) {
    target.settings.enabled = settings.enabled;
    target.settings.dhcp = true;
  } else {
    if (settings.netmask && !isContiguousNetmask(*settings.netmask)) return kBadValue;
    if (settings.ipAddress && !isUsableAddress(*settings.ipAddress)) return kBadValue;
    if (settings.gateway && !isUsableAddress(*settings.gateway)) return kBadValue;
    target.settings = settings;
  }
  target.lastRequest = requestText;
  logEvent("interface " + std::to_string(id) + " set" +
           (requestText.empty() ? "" : " (" + std::string(requestText) + ")"));
  return kOk;
}

int SpState::dns(unsigned selector, DnsSpec &out) const {
  if (selector != 0) return kNoSuchItem;
  out = dns_;
  return kOk;
}

int SpState::setDns(unsigned selector, const DnsSpec &dns) {
  if (selector != 0) return kNoSuchItem;
  for (const auto &server : dns.servers) {
    if (server && *server != 0 && !isUsableAddress(*server)) return kBadValue;
  }
  dns_ = dns;
  logEvent("DNS servers set");
  return kOk;
}

int SpState::hostname(unsigned selector, std::string &out) const {
  if (selector != 0) return kNoSuchItem;
  out = hostname_;
  return kOk;
}

int SpState::setHostname(unsigned selector, std::string_view hostname) {
  if (selector != 0) return kNoSuchItem;
  if (!isValidHostname(hostname)) return kBadValue;
  hostname_ = hostname;
  logEvent("hostname set to " + hostname_);
  return kOk;
}

int SpState::setDate(std::string_view text) {
  auto date = parseDate(text);
  if (!date) return kBadValue;
  clock_.setNow(*date);
  logEvent("date set");
  return kOk;
}

int SpState::resetToDefaults(unsigned selector) {
  if (selector == 0) {
    restoreAll();
  } else if (selector == 1) {
    restoreNetwork();
  } else {
    return kBadValue;
  }
  logEvent(selector == 0 ? "reset to defaults" : "network reset to defaults");
  return kOk;
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

// ----- administration -------------------------------------------------------------------------

int SpState::setConsole(const ConsoleSpec &console) {
  const bool valid =
      std::find(kBaudRates.begin(), kBaudRates.end(), console.baudRate) != kBaudRates.end() &&
      console.dataBits >= 5 && console.dataBits <= 8 && console.parity >= 0 &&
      console.parity <= 2 && (console.stopBits == 1 || console.stopBits == 2);
  if (!valid) return kBadValue;
  console_ = console;
  logEvent("console configuration set");
  return kOk;
}

int SpState::setCpuConfiguration(const std::array<int64_t, 5> &values) {
  cpuConfiguration_ = values;
  logEvent("CPU configuration set");
  return kOk;
}

int SpState::pbmString(unsigned slot, std::string &out) const {
  if (slot >= scenario_.pbmSlots) return kNoSuchItem;
  auto found = pbm_.find(slot);
  out = found == pbm_.end() ? std::string() : found->second;
  return kOk;
}

int SpState::setPbmString(unsigned slot, std::string_view text) {
  if (slot >= scenario_.pbmSlots) return kNoSuchItem;
  pbm_[slot] = text;
  return kOk;
}

int SpState::registerProcess(int pid, uint32_t tag) {
  if (pid <= 0) return kBadValue;
  processes_[pid] = tag;
  logEvent("process " + std::to_string(pid) + " registered with tag " + std::to_string(tag));
  return kOk;
}

int SpState::notify(int notification) {
  if (notification < 0) return kBadValue;
  ++notifications_;
  lastNotification_ = notification;
  logf(kLogInfo, "notification %d", notification);
  return kOk;
}

std::string SpState::describeInterfaces() const {
  std::ostringstream out;
  for (std::size_t i = 0; i < interfaces_.size(); ++i) {
    const InterfaceSettings &s = interfaces_[i].settings;
    auto address = [](const std::optional<uint32_t> &a) {
      return a ? formatAddress(*a) : std::string("-");
    };
    out << "interface " << i << ": " << scenario_.interfaces[i].label << ' '
        << (s.enabled ? "enabled" : "disabled") << ' ' << (s.dhcp ? "dhcp" : "static")
        << " address " << address(s.ipAddress) << " netmask " << address(s.netmask) << " gateway "
        << address(s.gateway) << " request " << quoted(interfaces_[i].lastRequest) << '\n';
  }
  return out.str();
}

std::string SpState::internalState() const {
  std::ostringstream out;
  out << "scenario: " << (scenario_.name.empty() ? "(unnamed)" : scenario_.name) << " from "
      << scenario_.origin << '\n'
      << "date: " << formatDate(clock_.now()) << '\n'
      << "uptime: " << static_cast<long>(clock_.uptime()) << " s\n"
      << "boots: " << boots_ << '\n'
      << "requests: " << requests_ << '\n'
      << "debug level: " << logLevel() << '\n'
      << "hostname: " << hostname_ << '\n'
      << describeInterfaces() << "platform: state " << platformState() << " power " << powerState()
      << " level " << powerLevel_ << " last shutdown reason " << shutdownReason_ << '\n'
      << "console: " << console_.baudRate << ' ' << console_.dataBits << ' ' << console_.parity
      << ' ' << console_.stopBits << ' ' << console_.flowControl << '\n'
      << "cpu configuration:";
  if (cpuConfiguration_) {
    for (int64_t value : *cpuConfiguration_) out << ' ' << value;
  } else {
    out << " none";
  }
  out << "\nprocesses:";
  for (const auto &[pid, tag] : processes_) out << ' ' << pid << '/' << tag;
  out << "\nnotifications: " << notifications_ << " last " << lastNotification_ << '\n'
      << "events: " << events_.size() << '\n';
  for (const Event &event : events_)
    out << "  " << formatDate(event.time) << ' ' << event.text << '\n';
  return out.str();
}

}  // namespace qel::simd
