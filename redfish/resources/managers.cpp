// SPDX-License-Identifier: Apache-2.0
// The SP itself: its date, reboot and network defaults, its Ethernet interfaces (addresses,
// DHCP, host name, name servers), the protocols this service offers, and the console.
#include <ctime>

#include "redfish/base_messages.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "redfish/resources/sp_reads.hpp"
#include "tools/address_number.hpp"
#include "tools/heap_texts.hpp"
#include "tools/log.hpp"
#include "tools/network_text.hpp"
#include "tools/utc_text.hpp"

namespace qel::redfish::managers {
namespace {

const std::string kInterfacesUri = std::string(kManagerUri) + "/EthernetInterfaces";
const std::string kSerialUri = std::string(kManagerUri) + "/SerialInterfaces";
constexpr std::string_view kConsole = "console";
constexpr unsigned kConfig = 0;                 // the one configuration selector
constexpr unsigned kMostInterfaces = 64;        // asked for from 0 until the server has no more
constexpr unsigned short kNetworkDefaults = 1;  // reset selector: the SP's network settings
constexpr std::string_view kReset = "Manager.Reset", kResetToDefaults = "Manager.ResetToDefaults";
constexpr std::string_view kRestart[] = {"GracefulRestart"};
constexpr std::string_view kResetAll[] = {"ResetAll"};

constexpr Writable kManagerWritable[] = {{"/DateTime", ValueKind::kString}};
constexpr Writable kInterfaceWritable[] = {{"/InterfaceEnabled", ValueKind::kBoolean},
                                           {"/DHCPv4/DHCPEnabled", ValueKind::kBoolean},
                                           {"/IPv4StaticAddresses", ValueKind::kObjectList},
                                           {"/HostName", ValueKind::kString},
                                           {"/StaticNameServers", ValueKind::kStringList}};
constexpr Writable kSerialWritable[] = {{"/BitRate", ValueKind::kString},
                                        {"/DataBits", ValueKind::kString},
                                        {"/Parity", ValueKind::kString},
                                        {"/StopBits", ValueKind::kString},
                                        {"/FlowControl", ValueKind::kString}};

// The console settings as the server numbers them (qel-simd(8)): baud rate, data bits, parity
// 0 none 1 odd 2 even, stop bits, flow control 0 none 1 software 2 hardware.
constexpr std::string_view kBitRates[] = {"1200",  "2400",  "4800",  "9600",
                                          "19200", "38400", "57600", "115200"};
constexpr std::string_view kDataBits[] = {"5", "6", "7", "8"};
constexpr std::string_view kParities[] = {"None", "Odd", "Even"};
constexpr std::string_view kStopBits[] = {"1", "2"};
constexpr std::string_view kFlowControls[] = {"None", "Software", "Hardware"};

std::string addressText(unsigned address) {
  char *text = nullptr;
  return qelIPAddressToString(address, &text) == RESULT_OK ? tools::takenText(text) : "";
}

// A dotted quad written the one way the service writes it, as a number; nothing otherwise
// (the library's own reading accepts more: blanks, leading zeros, text after the address).
std::optional<unsigned> strictAddress(const Json &value) {
  if (!value.is_string()) return std::nullopt;
  const std::string text = value.get<std::string>();
  const auto address = tools::dottedQuad(text);
  if (!address || addressText(*address) != text) return std::nullopt;
  return address;
}

unsigned interfaceNumber(const std::string &id) {
  const auto number = id.size() <= 2 ? tools::addressNumber(id) : std::nullopt;
  if (!number || *number >= kMostInterfaces || std::to_string(*number) != id) {
    throw Failure{404, base::resourceNotFound("EthernetInterface", id)};
  }
  return *number;
}

struct Dns {
  unsigned servers[3]{};
  std::string text;
};
Dns readDns(SpLink &sp) {
  Dns dns;
  char *text = nullptr;
  sp.must([&] {
    return qelGetDNS3(kConfig, &dns.servers[0], &dns.servers[1], &dns.servers[2], &text);
  });
  dns.text = tools::takenText(text);
  return dns;
}

std::string currentDate() {
  char *text = nullptr;
  qelGetDate(&text);                          // this machine's clock: the service runs on the SP
  std::string date = tools::takenText(text);  // "YYYY-MM-DD HH:MM:SS GMT"
  return date.size() >= 19 ? date.substr(0, 10) + "T" + date.substr(11, 8) + "+00:00" : "";
}

// "2026-03-04T05:06:07+01:00" (fractions and Z too) as the server's "2026-03-04 04:06:07 GMT".
std::optional<std::string> serverDate(const std::string &text) {
  std::tm time{};
  int offsetHours = 0, offsetMinutes = 0, used = 0;
  char sign = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &time.tm_year, &time.tm_mon,
                  &time.tm_mday, &time.tm_hour, &time.tm_min, &time.tm_sec, &used) != 6 ||
      used != 19) {
    return std::nullopt;
  }
  std::size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));) ++at;
  }
  const std::string zone = text.substr(at);
  if (zone != "Z" &&
      (zone.size() != 6 ||
       std::sscanf(zone.c_str(), "%c%2d:%2d", &sign, &offsetHours, &offsetMinutes) != 3 ||
       (sign != '+' && sign != '-') || offsetHours > 23 || offsetMinutes > 59)) {
    return std::nullopt;
  }
  const int month = time.tm_mon, day = time.tm_mday;
  time.tm_year -= 1900;
  time.tm_mon -= 1;
  std::time_t seconds = timegm(&time);
  // timegm normalises 2026-02-30 into March: such a date was not a date.
  if (month < 1 || month > 12 || time.tm_mday != day || time.tm_hour > 23 || time.tm_sec > 59) {
    return std::nullopt;
  }
  seconds -= (sign == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
  return tools::utcText(seconds, tools::kServerDateFormat);
}

void applyDate(Exchange &ex, PatchPlan &plan) {
  const Json &value = *plan.value("/DateTime");
  const auto date = serverDate(value.get<std::string>());
  if (!date) {
    plan.refuse("/DateTime", base::propertyValueFormatError(value.get<std::string>(), "DateTime"));
    return;
  }
  const unsigned code = ex.sp.call([&] { return qelSetDate(date->c_str()); });
  if (code != RESULT_OK) {
    plan.refuse("/DateTime", SpLink::propertyRefusal(code, "DateTime", value.get<std::string>()));
    return;
  }
  tools::logLine(tools::LogLevel::kInfo, "user=" + tools::logValue(ex.caller.userName),
                 "SP date set to " + *date);
  ++plan.applied;
}

// Applies one change to the SP for the properties `pointers`, counting or refusing them alike.
void settle(PatchPlan &plan, std::initializer_list<std::string_view> pointers, unsigned code) {
  for (std::string_view pointer : pointers) {
    const Json *value = plan.value(pointer);
    if (value == nullptr) continue;
    if (code == RESULT_OK) {
      ++plan.applied;
    } else {
      plan.refuse(pointer, SpLink::propertyRefusal(code, propertyName(pointer), render(*value)));
    }
  }
}

// The static address a PATCH asks for, merged into `ip`; false (the plan told why) when it is
// not one.
bool staticAddress(const Json &list, bool dhcp, IPInfo &ip, PatchPlan &plan) {
  const std::string_view pointer = "/IPv4StaticAddresses";
  if (list.size() > 1) {
    plan.refuse(pointer, base::arraySizeTooLong("IPv4StaticAddresses", "1"));
    return false;
  }
  if (list.empty()) {
    if (!dhcp) plan.refuse(pointer, base::arraySizeTooShort("IPv4StaticAddresses", "1"));
    return dhcp;
  }
  if (dhcp) {
    plan.refuse(pointer, base::propertyValueConflict("IPv4StaticAddresses", "DHCPv4/DHCPEnabled"));
    return false;
  }
  const Json &entry = list[0];
  for (const auto &[key, value] : entry.items()) {
    unsigned *target = key == "Address"      ? &ip.ipAddress
                       : key == "SubnetMask" ? &ip.netmask
                       : key == "Gateway"    ? &ip.gateway
                                             : nullptr;
    const std::string name = "IPv4StaticAddresses/0/" + key;
    const auto address = strictAddress(value);
    if (target == nullptr) {
      plan.refuse(pointer, base::propertyUnknown(name));
    } else if (!address || (key == "SubnetMask" && !tools::isContiguousNetmask(*address)) ||
               (key == "Address" && *address == 0)) {
      plan.refuse(pointer, base::propertyValueFormatError(
                               value.is_string() ? value.get<std::string>() : render(value), name));
    } else {
      *target = *address;
      continue;
    }
    return false;
  }
  ip.ipAddressValid = ip.netmaskValid = ip.gatewayValid = 1;
  return true;
}

void applyAddressing(Exchange &ex, unsigned number, PatchPlan &plan) {
  const Json *enabled = plan.value("/InterfaceEnabled");
  const Json *dhcp = plan.value("/DHCPv4/DHCPEnabled");
  const Json *addresses = plan.value("/IPv4StaticAddresses");
  if (!enabled && !dhcp && !addresses) return;
  IPInfo ip{};
  ex.sp.must([&] { return qelGetIP(kConfig, number, &ip); }, "EthernetInterface",
             std::to_string(number));
  if (enabled) ip.enabled = enabled->get<bool>();
  if (dhcp) ip.dhcp = dhcp->get<bool>();
  if (addresses && !staticAddress(*addresses, ip.dhcp, ip, plan)) {
    // The address was refused: the rest of the addressing is not applied without it.
    for (std::string_view other : {"/InterfaceEnabled", "/DHCPv4/DHCPEnabled"}) {
      if (plan.value(other)) plan.refuse(other, base::propertyNotUpdated(propertyName(other)));
    }
    return;
  }
  const unsigned code = ex.sp.call([&] {
    return qelSetIP(
        kConfig, number, ip.enabled, ip.dhcp, ip.ipAddressValid ? &ip.ipAddress : nullptr,
        ip.netmaskValid ? &ip.netmask : nullptr, ip.gatewayValid ? &ip.gateway : nullptr, "");
  });
  settle(plan, {"/InterfaceEnabled", "/DHCPv4/DHCPEnabled", "/IPv4StaticAddresses"}, code);
}

void applyNameServers(Exchange &ex, PatchPlan &plan) {
  const Json *list = plan.value("/StaticNameServers");
  if (list == nullptr) return;
  if (list->size() > 3) {
    plan.refuse("/StaticNameServers", base::arraySizeTooLong("StaticNameServers", "3"));
    return;
  }
  unsigned servers[3]{};
  for (std::size_t i = 0; i < list->size(); ++i) {
    const auto address = strictAddress((*list)[i]);
    if (!address) {
      plan.refuse("/StaticNameServers", base::propertyValueFormatError(
                                            (*list)[i].get<std::string>(), "StaticNameServers"));
      return;
    }
    servers[i] = *address;
  }
  const Dns dns = readDns(ex.sp);  // the DNS text stays as it is
  const std::size_t n = list->size();
  const unsigned code = ex.sp.call([&] {
    return qelSetDNS3(kConfig, n > 0 ? &servers[0] : nullptr, n > 1 ? &servers[1] : nullptr,
                      n > 2 ? &servers[2] : nullptr, dns.text.c_str());
  });
  settle(plan, {"/StaticNameServers"}, code);
}

void applyHostName(Exchange &ex, PatchPlan &plan) {
  const Json *name = plan.value("/HostName");
  if (name == nullptr) return;
  const std::string text = name->get<std::string>();
  if (!tools::isValidHostname(text)) {
    plan.refuse("/HostName", base::propertyValueFormatError(text, "HostName"));
    return;
  }
  settle(plan, {"/HostName"}, ex.sp.call([&] { return qelSetHostname(kConfig, text.c_str()); }));
}

void applyInterface(Exchange &ex, PatchPlan &plan) {
  const unsigned number = interfaceNumber(ex.ids[0]);
  applyAddressing(ex, number, plan);
  applyNameServers(ex, plan);
  applyHostName(ex, plan);
}

// The index of `value` in `names`, or -1.
template <std::size_t N>
int indexOf(const std::string_view (&names)[N], std::string_view value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == value) return static_cast<int>(i);
  }
  return -1;
}

struct Console {
  int bitRate = 0, dataBits = 0, parity = 0, stopBits = 0;
  unsigned long flowControl = 0;
};

Console readConsole(SpLink &sp) {
  Console c;
  sp.must([&] {
    return qelSysGetConsoleConfig(&c.bitRate, &c.dataBits, &c.parity, &c.stopBits, &c.flowControl);
  });
  return c;
}

void applyConsole(Exchange &ex, PatchPlan &plan) {
  Console c = readConsole(ex.sp);
  struct Setting {
    std::string_view pointer;
    std::span<const std::string_view> names;
    bool numeric;  // the name is the number itself
    int *value;
  };
  int flow = static_cast<int>(c.flowControl);
  const Setting settings[] = {{"/BitRate", kBitRates, true, &c.bitRate},
                              {"/DataBits", kDataBits, true, &c.dataBits},
                              {"/Parity", kParities, false, &c.parity},
                              {"/StopBits", kStopBits, true, &c.stopBits},
                              {"/FlowControl", kFlowControls, false, &flow}};
  std::vector<std::string_view> changed;
  for (const Setting &s : settings) {
    const Json *value = plan.value(s.pointer);
    if (value == nullptr) continue;
    const std::string text = value->get<std::string>();
    const auto found = std::find(s.names.begin(), s.names.end(), text);
    if (found == s.names.end()) {
      plan.refuse(s.pointer, base::propertyValueNotInList(text, propertyName(s.pointer)));
      continue;
    }
    *s.value = s.numeric ? std::stoi(text) : static_cast<int>(found - s.names.begin());
    changed.push_back(s.pointer);
  }
  if (changed.empty()) return;
  const unsigned code = ex.sp.call([&] {
    return qelSysSetConsoleConfig(c.bitRate, c.dataBits, c.parity, c.stopBits,
                                  static_cast<unsigned long>(flow));
  });
  for (std::string_view pointer : changed) settle(plan, {pointer}, code);
}

Json action(std::string_view name, std::span<const std::string_view> types) {
  return {{"target", std::string(kManagerUri) + "/Actions/" + std::string(name)},
          {"ResetType@Redfish.AllowableValues", types}};
}

void resetAction(Exchange &ex, std::string_view action, std::span<const std::string_view> types,
                 unsigned (*operation)()) {
  const Json body = parseBody(ex.request.body, ex.request.headers.find("Content-Type"));
  static constexpr Field kFields[] = {{"ResetType", ValueKind::kString, true}};
  checkFields(body, kFields, action);
  const std::string type = chosenValue(body, action, "ResetType", types);
  if (const unsigned code = ex.sp.call(operation)) throw SpLink::actionRefusal(code, action, type);
  tools::logLine(tools::LogLevel::kInfo, "user=" + tools::logValue(ex.caller.userName),
                 std::string(action) + " " + type);
  ex.response.status = 204;
}

}  // namespace

const PatchRule kManagerPatch{kManagerWritable, applyDate};
const PatchRule kInterfacePatch{kInterfaceWritable, applyInterface};
const PatchRule kSerialPatch{kSerialWritable, applyConsole};

Json collection(Exchange &) {
  return redfish::collection("Manager", "/redfish/v1/Managers", "Managers",
                             {std::string(kManagerUri)});
}

Json manager(Exchange &ex) {
  Json manager = resource(kManager, kManagerUri, "sp", "Service processor");
  manager["ManagerType"] = "BMC";
  manager["DateTime"] = currentDate();
  manager["DateTimeLocalOffset"] = "+00:00";
  manager["ServiceEntryPointUUID"] = ex.state.settings.uuid;
  manager["PowerState"] = "On";
  manager["Status"] = status("Enabled", "OK");
  manager["EthernetInterfaces"] = link(kInterfacesUri);
  manager["NetworkProtocol"] = link(std::string(kManagerUri) + "/NetworkProtocol");
  manager["SerialInterfaces"] = link(kSerialUri);
  manager["Links"] = {{"ManagerForServers", {link(kSystemUri)}},
                      {"ManagerForChassis", {link(kChassisUri)}},
                      {"ManagerInChassis", link(kChassisUri)}};
  manager["Actions"] = {{"#Manager.Reset", action(kReset, kRestart)},
                        {"#Manager.ResetToDefaults", action(kResetToDefaults, kResetAll)}};
  return manager;
}

void reset(Exchange &ex) {
  resetAction(ex, kReset, kRestart, [] { return qelRebootSP(); });
}

void resetToDefaults(Exchange &ex) {
  resetAction(ex, kResetToDefaults, kResetAll, [] {
    const unsigned short selector = kNetworkDefaults;
    return qelResetToDefaultSettings(&selector);
  });
}

Json interfaces(Exchange &ex) {
  std::vector<std::string> uris;
  for (unsigned i = 0; i < kMostInterfaces; ++i) {
    const unsigned code = ex.sp.call([&] { return qelGetIP(kConfig, i, nullptr); });
    if (code != RESULT_OK && i > 0) break;  // the server has no interface i
    if (code != RESULT_OK) throw SpLink::readFailure(code, "", "");
    uris.push_back(kInterfacesUri + "/" + std::to_string(i));
  }
  return redfish::collection("EthernetInterface", kInterfacesUri, "Ethernet interfaces", uris);
}

Json interface(Exchange &ex) {
  const unsigned number = interfaceNumber(ex.ids[0]);
  IPInfo ip{};
  ex.sp.must([&] { return qelGetIP(kConfig, number, &ip); }, "EthernetInterface", ex.ids[0]);
  char *hostname = nullptr;
  ex.sp.must([&] { return qelGetHostname(kConfig, &hostname); });
  const Dns dns = readDns(ex.sp);
  Json payload = resource(kEthernetInterface, kInterfacesUri + "/" + ex.ids[0], ex.ids[0],
                          ip.label[0] ? ip.label : "Interface " + ex.ids[0]);
  payload["InterfaceEnabled"] = static_cast<bool>(ip.enabled);
  payload["MACAddress"] = payload["PermanentMACAddress"] =
      tools::hardwareAddressText(ip.hardwareAddress);
  payload["HostName"] = tools::takenText(hostname);
  payload["DHCPv4"] = {{"DHCPEnabled", static_cast<bool>(ip.dhcp)}};
  Json address = Json::object();
  if (ip.ipAddressValid) address["Address"] = addressText(ip.ipAddress);
  if (ip.netmaskValid) address["SubnetMask"] = addressText(ip.netmask);
  if (ip.gatewayValid) address["Gateway"] = addressText(ip.gateway);
  payload["IPv4StaticAddresses"] =
      ip.dhcp || !ip.ipAddressValid ? Json::array() : Json::array({address});
  if (ip.ipAddressValid) address["AddressOrigin"] = ip.dhcp ? "DHCP" : "Static";
  payload["IPv4Addresses"] = ip.ipAddressValid ? Json::array({address}) : Json::array();
  Json servers = Json::array();
  for (unsigned server : dns.servers) {
    if (server != 0) servers.push_back(addressText(server));
  }
  payload["StaticNameServers"] = servers;
  payload["NameServers"] = servers;
  payload["Status"] = status(ip.enabled ? "Enabled" : "Disabled", "OK");
  return payload;
}

Json networkProtocol(Exchange &ex) {
  char *hostname = nullptr;
  ex.sp.must([&] { return qelGetHostname(kConfig, &hostname); });
  const ServiceSettings &settings = ex.state.settings;
  Json payload = resource(kNetworkProtocol, std::string(kManagerUri) + "/NetworkProtocol",
                          "NetworkProtocol", "Network protocols");
  payload["HostName"] = tools::takenText(hostname);
  payload["HTTPS"] = {{"ProtocolEnabled", settings.tls}, {"Port", settings.port}};
  payload["HTTP"] = {{"ProtocolEnabled", !settings.tls}, {"Port", settings.port}};
  payload["Status"] = status("Enabled", "OK");
  return payload;
}

Json serialInterfaces(Exchange &) {
  return redfish::collection("SerialInterface", kSerialUri, "Serial interfaces",
                             {kSerialUri + "/" + std::string(kConsole)});
}

Json serialInterface(Exchange &ex) {
  if (ex.ids[0] != kConsole)
    throw Failure{404, base::resourceNotFound("SerialInterface", ex.ids[0])};
  const Console c = readConsole(ex.sp);
  Json payload =
      resource(kSerialInterface, kSerialUri + "/" + std::string(kConsole), kConsole, "Console");
  payload["InterfaceEnabled"] = true;
  payload["SignalType"] = "Rs232";
  // A setting the service cannot name is left out rather than shown wrong.
  const std::string bitRate = std::to_string(c.bitRate), dataBits = std::to_string(c.dataBits),
                    stopBits = std::to_string(c.stopBits);
  if (indexOf(kBitRates, bitRate) >= 0) payload["BitRate"] = bitRate;
  if (indexOf(kDataBits, dataBits) >= 0) payload["DataBits"] = dataBits;
  if (c.parity >= 0 && c.parity < 3) payload["Parity"] = kParities[c.parity];
  if (indexOf(kStopBits, stopBits) >= 0) payload["StopBits"] = stopBits;
  if (c.flowControl < 3) payload["FlowControl"] = kFlowControls[c.flowControl];
  return payload;
}

}  // namespace qel::redfish::managers
