// SPDX-License-Identifier: Apache-2.0
// The simulated SP's administration: console and CPU configuration, PBM strings, registered
// processes, notifications and the internal state text.
#include <algorithm>
#include <sstream>

#include "simulator/model/formats.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/sp_state.hpp"

namespace qel::simd {

namespace {

constexpr std::array<int, 8> kBaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace

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
