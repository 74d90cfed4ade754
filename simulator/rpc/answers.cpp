// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/answers.hpp"

#include <algorithm>

#include "simulator/model/log.hpp"

namespace qel::simd {

InterfaceReply interfaceReply(const SpState &state, const rpc_Interface &which) {
  InterfaceReply reply;
  reply.record.interface = which;
  InterfaceReport report;
  reply.record.errorCode = state.interface(which.configSelector, which.interfaceId, report);
  if (reply.record.errorCode != kOk) return reply;
  const InterfaceSettings &s = report.settings;
  reply.record.enabled = s.enabled;
  reply.record.dhcp = s.dhcp;
  reply.record.ipAddressValid = s.ipAddress.has_value();
  reply.record.netmaskValid = s.netmask.has_value();
  reply.record.gatewayValid = s.gateway.has_value();
  reply.record.ipAddress = s.ipAddress.value_or(0);
  reply.record.netmask = s.netmask.value_or(0);
  reply.record.gateway = s.gateway.value_or(0);
  reply.label = report.label;
  std::copy(report.hardwareAddress.begin(), report.hardwareAddress.end(),
            reply.hardwareAddress.begin());
  return reply;
}

int setInterface(SpState &state, const rpc_IPState &request) {
  auto present = [](unsigned char valid, unsigned int address) {
    return valid ? std::optional<uint32_t>(address) : std::nullopt;
  };
  const InterfaceSettings settings{request.enabled != 0, request.dhcp != 0,
                                   present(request.ipAddressValid, request.ipAddress),
                                   present(request.netmaskValid, request.netmask),
                                   present(request.gatewayValid, request.gateway)};
  return state.setInterface(request.interface.configSelector, request.interface.interfaceId,
                            settings, request.requestText);
}

DnsReply dnsReply(const SpState &state, unsigned selector) {
  DnsReply reply;
  reply.record.configSelector = selector;
  DnsSpec dns;
  reply.record.errorCode = state.dns(selector, dns);
  if (reply.record.errorCode != kOk) return reply;
  unsigned int *addresses[] = {&reply.record.server1, &reply.record.server2, &reply.record.server3};
  unsigned char *flags[] = {&reply.record.server1Valid, &reply.record.server2Valid,
                            &reply.record.server3Valid};
  for (std::size_t i = 0; i < dns.servers.size(); ++i) {
    *addresses[i] = dns.servers[i].value_or(0);
    *flags[i] = dns.servers[i].has_value();
  }
  reply.text = dns.text;
  return reply;
}

int setDns(SpState &state, const rpc_DNSState &request) {
  DnsSpec dns;
  const std::pair<unsigned int, unsigned char> servers[] = {
      {request.server1, request.server1Valid},
      {request.server2, request.server2Valid},
      {request.server3, request.server3Valid}};
  for (std::size_t i = 0; i < dns.servers.size(); ++i) {
    if (servers[i].second) dns.servers[i] = servers[i].first;
  }
  dns.text = request.dnsText;
  return state.setDns(request.configSelector, dns);
}

rpc_FloatAndEC sensorValue(const SpState &state, const char *id) {
  rpc_FloatAndEC reply{};
  reply.errorCode = state.sensorValue(id, reply.value);
  return reply;
}

ThresholdSet fromWire(const rpc_SysSensorThresholds &wire) {
  return {{wire.threshold1, wire.threshold2, wire.threshold3, wire.threshold4},
          {wire.thresholdFlag1, wire.thresholdFlag2, wire.thresholdFlag3, wire.thresholdFlag4}};
}

rpc_SysGetSensorThresh thresholdsReply(const SpState &state, const char *id) {
  rpc_SysGetSensorThresh reply{};
  ThresholdSet set;
  reply.errorCode = state.thresholds(id, set);
  if (reply.errorCode != kOk) return reply;
  auto &t = reply.thresholds;
  t = {set.values[0], set.values[1], set.values[2], set.values[3],
       set.flags[0],  set.flags[1],  set.flags[2],  set.flags[3]};
  return reply;
}

GoodnessReply goodnessReply(const SpState &state, int selector) {
  GoodnessReply reply;
  reply.record.errorCode = state.vrmGoodness(selector, reply.values);
  if (reply.record.errorCode != kOk) reply.values.clear();
  return reply;
}

// The description of a sensor: identifier, label, description, unit, component, kind and
// status texts; kind, availability, range, nominal reading, flags of its thresholds, index.
SensorInfoReply sensorInfo(const SpState &state, const char *id) {
  SensorInfoReply reply;
  const SensorState *sensor = state.findSensor(id);
  if (!sensor) {
    reply.record.errorCode = kNoSuchItem;
    return reply;
  }
  const SensorSpec &spec = sensor->spec;
  reply.texts = {spec.id,
                 spec.label,
                 spec.description,
                 spec.unit,
                 spec.component,
                 std::string(kindName(spec.kind)),
                 spec.available ? std::string(statusName(state.sensorStatus(*sensor)))
                                : std::string("unavailable")};
  auto &r = reply.record;
  r.intValue1 = static_cast<int>(spec.kind);
  r.intValue2 = spec.available ? 1 : 0;
  r.realValue1 = spec.minimum;
  r.realValue2 = spec.maximum;
  r.realValue3 = spec.value;
  const auto &flags = sensor->thresholds.flags;
  r.intValue3 = (flags[0] ? 1 : 0) | (flags[1] ? 2 : 0) | (flags[2] ? 4 : 0) | (flags[3] ? 8 : 0);
  r.intValue4 = sensor->pinned ? 1 : 0;
  r.intValue5 = static_cast<int>(sensor - state.sensors().data());
  return reply;
}

SensorListReply sensorList(const SpState &state, const rpc_SensorList &request) {
  SensorListReply reply;
  reply.record.errorCode = state.sensorList(request.selector1, request.selector2, reply.ids);
  return reply;
}

rpc_FanDebugState fanReply(const SpState &state) {
  const FanReport fan = state.fanState();
  rpc_FanDebugState reply{};
  reply.debugValue1 = fan.mode;
  reply.debugValue2 = fan.targetTemperature;
  reply.debugValue3 = fan.duty;
  reply.debugValue4 = fan.minimumDuty;
  reply.debugValue5 = fan.maximumDuty;
  reply.debugValue6 = fan.hottest;
  reply.debugValue7 = fan.periodMs;
  reply.debugValue8 = fan.failedFans;
  reply.entryCount = static_cast<int>(fan.speeds.size());
  std::copy(fan.speeds.begin(), fan.speeds.end(), reply.entries);
  return reply;
}

rpc_ConsoleConfig consoleReply(const SpState &state) {
  const ConsoleSpec &c = state.console();
  rpc_ConsoleConfig reply{};
  reply.consoleValue1 = c.baudRate;
  reply.consoleValue2 = c.dataBits;
  reply.consoleValue3 = c.parity;
  reply.consoleValue4 = c.stopBits;
  reply.consoleValue5 = c.flowControl;
  return reply;
}

int setConsole(SpState &state, const rpc_ConsoleConfig &request) {
  return state.setConsole({request.consoleValue1, request.consoleValue2, request.consoleValue3,
                           request.consoleValue4, static_cast<uint32_t>(request.consoleValue5)});
}

int setDebugLevel(int level) {
  if (level < 0 || level > kMaxLogLevel) return kBadValue;
  setLogLevel(level);
  logf(kLogInfo, "debug level set to %d", level);
  return kOk;
}

}  // namespace qel::simd
