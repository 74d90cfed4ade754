// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/call_json.hpp"

#include "simulator/model/formats.hpp"

namespace qel::simd {

namespace {

nlohmann::json text(const char *value) { return value ? nlohmann::json(value) : nlohmann::json(); }

nlohmann::json thresholds(const rpc_SysSensorThresholds &t) {
  return {{"values", {t.threshold1, t.threshold2, t.threshold3, t.threshold4}},
          {"flags", {t.thresholdFlag1, t.thresholdFlag2, t.thresholdFlag3, t.thresholdFlag4}}};
}

nlohmann::json address(unsigned char valid, unsigned value) {
  return valid ? nlohmann::json(formatAddress(value)) : nlohmann::json();
}

}  // namespace

nlohmann::json argumentJson(char) { return nullptr; }
nlohmann::json argumentJson(int value) { return value; }
nlohmann::json argumentJson(unsigned value) { return value; }
nlohmann::json argumentJson(unsigned short value) { return value; }
nlohmann::json argumentJson(const char *value) { return text(value); }

nlohmann::json argumentJson(const rpc_PlatformSetAction &a) {
  return {{"actionCode", a.actionCode},
          {"actionOption", a.actionOption},
          {"actionValue", a.actionValue},
          {"actionText", text(a.actionText)}};
}

nlohmann::json argumentJson(const rpc_PlatformMCEvent &e) {
  return {{"values", {e.eventValue1, e.eventValue2, e.eventValue3}}, {"text", text(e.eventText)}};
}

nlohmann::json argumentJson(const rpc_PlatformDimmEvent &e) {
  return {{"values", {e.eventValue1, e.eventValue2, e.eventValue3, e.eventValue4}},
          {"text", text(e.eventText)}};
}

nlohmann::json argumentJson(const rpc_Interface &i) {
  return {{"interfaceId", i.interfaceId}, {"configSelector", i.configSelector}};
}

nlohmann::json argumentJson(const rpc_IPState &s) {
  return {{"interfaceId", s.interface.interfaceId},
          {"configSelector", s.interface.configSelector},
          {"enabled", s.enabled != 0},
          {"dhcp", s.dhcp != 0},
          {"ipAddress", address(s.ipAddressValid, s.ipAddress)},
          {"netmask", address(s.netmaskValid, s.netmask)},
          {"gateway", address(s.gatewayValid, s.gateway)},
          {"requestText", text(s.requestText)}};
}

nlohmann::json argumentJson(const rpc_DNSState &d) {
  return {{"configSelector", d.configSelector},
          {"servers",
           {address(d.server1Valid, d.server1), address(d.server2Valid, d.server2),
            address(d.server3Valid, d.server3)}},
          {"dnsText", text(d.dnsText)}};
}

nlohmann::json argumentJson(const rpc_Hostname &h) {
  return {{"configSelector", h.configSelector}, {"hostname", text(h.hostname)}};
}

nlohmann::json argumentJson(const rpc_PBMstring &p) {
  return {{"pbmSelector", p.pbmSelector}, {"pbmText", text(p.pbmText)}};
}

nlohmann::json argumentJson(const rpc_SensorList &l) {
  return {{"kind", l.selector1}, {"component", l.selector2}};
}

nlohmann::json argumentJson(const rpc_SysSetSensorInfo &s) {
  return {{"sensorId", text(s.sensorId)}, {"value", s.value}};
}

nlohmann::json argumentJson(const rpc_SysSetSensorThresh &t) {
  return {{"sensorId", text(t.sensorId)}, {"thresholds", thresholds(t.thresholds)}};
}

nlohmann::json argumentJson(const rpc_ConsoleConfig &c) {
  return {{"baudRate", c.consoleValue1},
          {"dataBits", c.consoleValue2},
          {"parity", c.consoleValue3},
          {"stopBits", c.consoleValue4},
          {"flowControl", static_cast<unsigned>(c.consoleValue5)}};
}

nlohmann::json argumentJson(const rpc_CPUConfig &c) {
  return {c.cpuValue1, c.cpuValue2, c.cpuValue3, c.cpuValue4, c.cpuValue5};
}

nlohmann::json argumentJson(const rpc_ProcessInfo &p) {
  return {{"pid", p.pid}, {"processTag", static_cast<unsigned>(p.processTag)}};
}

std::string argumentKey(const nlohmann::json &argument) {
  if (argument.is_string()) return argument.get<std::string>();
  if (argument.is_number()) return argument.dump();
  if (!argument.is_object()) return {};
  for (const char *key : {"sensorId", "interfaceId", "pbmSelector", "configSelector"}) {
    if (argument.contains(key)) return argumentKey(argument[key]);
  }
  return {};
}

}  // namespace qel::simd
