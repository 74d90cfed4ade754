// SPDX-License-Identifier: Apache-2.0
// The simulated SP's network settings: interfaces, DNS, hostname, date and the reset to defaults.
#include "simulator/model/formats.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/sp_state.hpp"
#include "tools/network_text.hpp"

namespace qel::simd {

namespace {

// A host address a static configuration may use: not multicast, not the broadcast address.
bool isUsableAddress(uint32_t address) { return address < 0xE0000000u; }

}  // namespace

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
    if (settings.netmask && !tools::isContiguousNetmask(*settings.netmask)) return kBadValue;
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
  if (!tools::isValidHostname(hostname)) return kBadValue;
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

}  // namespace qel::simd
