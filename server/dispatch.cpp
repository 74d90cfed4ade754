#include "server/dispatch.hpp"

#include "protocol/procedures.hpp"
#include "server/log.hpp"
#include "server/reply_records.hpp"
#include "server/reports.hpp"
#include "server/serve_call.hpp"

namespace qel::simd {

namespace {

TextHolder text(std::string body) { return {kOk, std::move(body), {}}; }

template <typename Fill>
TextHolder textFrom(Fill fill) {
  TextHolder reply;
  reply.code = fill(reply.text);
  return reply;
}

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

}  // namespace

void dispatchRequest(svc_req *request, SVCXPRT *transport, SpState &state,
                     const ServerControls &controls, CallHooks *hooks) {
  if (!hooks) logf(kLogDebug, "procedure %u", static_cast<unsigned>(request->rq_proc));
  state.countRequest();
  const Call t{transport, hooks};
  auto &s = state;
  // clang-format off
  switch (request->rq_proc) {
    case NULLPROC:
      svc_sendreply(transport, reinterpret_cast<xdrproc_t>(xdrNothing), nullptr);
      return;
    // Server control.
    // The reply still goes out: the loop ends after this turn. A fault's code stops nothing.
    case proc::StopQelServer::kNumber: return serve<proc::StopQelServer>(t, [&] { controls.stop(); return int{kOk}; });
    case proc::ConfigureQelServer::kNumber: return serve<proc::ConfigureQelServer>(t, [&] { return controls.configure(); });
    case proc::RebootSP::kNumber: return serve<proc::RebootSP>(t, [&] { s.reboot(); return int{kOk}; });
    // Platform.
    case proc::PlatformGetState::kNumber: return serve<proc::PlatformGetState>(t, [&] { return s.platformState(); });
    case proc::PlatformSetAction::kNumber:
      return serve<proc::PlatformSetAction>(t, [&](rpc_PlatformSetAction &a) {
        return s.setAction(a.actionCode, a.actionOption, a.actionValue, a.actionText);
      });
    case proc::PlatformGetPowerState::kNumber: return serve<proc::PlatformGetPowerState>(t, [&] { return s.powerState(); });
    case proc::PlatformGetPowerLevel::kNumber: return serve<proc::PlatformGetPowerLevel>(t, [&] { return s.powerLevel(); });
    case proc::PlatformSetPowerLevel::kNumber: return serve<proc::PlatformSetPowerLevel>(t, [&](int &level) { return s.setPowerLevel(level); });
    case proc::PlatformSetPowerState::kNumber: return serve<proc::PlatformSetPowerState>(t, [&](int &power) { return s.setPowerState(power); });
    case proc::PlatformButton::kNumber: return serve<proc::PlatformButton>(t, [&](int &button) { return s.pressButton(button); });
    case proc::PlatformMCEvent::kNumber:
      return serve<proc::PlatformMCEvent>(t, [&](rpc_PlatformMCEvent &e) {
        return s.machineCheck(e.eventValue1, e.eventValue2, e.eventValue3, e.eventText);
      });
    case proc::PlatformGetType::kNumber: return serve<proc::PlatformGetType>(t, [&](char *&key) { return s.platformType(key); });
    case proc::PlatformGetOffReason::kNumber: return serve<proc::PlatformGetOffReason>(t, [&] { return s.shutdownReason(); });
    case proc::PlatformDimmEvent::kNumber:
      return serve<proc::PlatformDimmEvent>(t, [&](rpc_PlatformDimmEvent &e) {
        return s.dimmError(e.eventValue1, e.eventValue2, e.eventValue3, e.eventValue4, e.eventText);
      });
    // Network.
    case proc::GetIP::kNumber: return serve<proc::GetIP>(t, [&](rpc_Interface &which) { return interfaceReply(s, which); });
    case proc::SetIP::kNumber: return serve<proc::SetIP>(t, [&](rpc_IPState &r) { return setInterface(s, r); });
    case proc::GetDNS::kNumber: return serve<proc::GetDNS>(t, [&](u_int &selector) { return dnsReply(s, selector); });
    case proc::SetDNS::kNumber: return serve<proc::SetDNS>(t, [&](rpc_DNSState &r) { return setDns(s, r); });
    case proc::GetHostname::kNumber:
      return serve<proc::GetHostname>(t, [&](u_int &selector) { return textFrom([&](std::string &out) { return s.hostname(selector, out); }); });
    case proc::SetHostname::kNumber: return serve<proc::SetHostname>(t, [&](rpc_Hostname &r) { return s.setHostname(r.configSelector, r.hostname); });
    case proc::SetDate::kNumber: return serve<proc::SetDate>(t, [&](char *&date) { return s.setDate(date); });
    case proc::ResetToDefaultSettings::kNumber: return serve<proc::ResetToDefaultSettings>(t, [&](u_short &selector) { return s.resetToDefaults(selector); });
    // PBM strings.
    case proc::GetPBMString::kNumber:
      return serve<proc::GetPBMString>(t, [&](u_int &slot) { return textFrom([&](std::string &out) { return s.pbmString(slot, out); }); });
    case proc::SetPBMString::kNumber: return serve<proc::SetPBMString>(t, [&](rpc_PBMstring &r) { return s.setPbmString(r.pbmSelector, r.pbmText); });
    // Sensor catalogue.
    case proc::GetSensorInfo::kNumber: return serve<proc::GetSensorInfo>(t, [&](char *&id) { return sensorInfo(s, id); });
    case proc::GetSensorList::kNumber: return serve<proc::GetSensorList>(t, [&](rpc_SensorList &r) { return sensorList(s, r); });
    // Sensor reports.
    case proc::SysGetSensorValuesXML::kNumber: return serve<proc::SysGetSensorValuesXML>(t, [&] { return text(sensorValuesXml(s)); });
    case proc::SysGetSensorValuesASCII::kNumber: return serve<proc::SysGetSensorValuesASCII>(t, [&] { return text(sensorValuesAscii(s)); });
    case proc::SysGetSensorValuesForComponentXML::kNumber:
      return serve<proc::SysGetSensorValuesForComponentXML>(t, [&](char *&c) { return textFrom([&](std::string &out) { return componentValuesXml(s, c, out); }); });
    case proc::SysGetSensorValuesForComponentASCII::kNumber:
      return serve<proc::SysGetSensorValuesForComponentASCII>(t, [&](char *&c) { return textFrom([&](std::string &out) { return componentValuesAscii(s, c, out); }); });
    case proc::SysGetComponentStatus::kNumber: return serve<proc::SysGetComponentStatus>(t, [&](char *&c) { return s.componentStatus(c); });
    case proc::SysGetComponentStatusAll::kNumber: return serve<proc::SysGetComponentStatusAll>(t, [&] { return text(componentStatusAll(s)); });
    case proc::SysGetESValuesForComponentXML::kNumber:
      return serve<proc::SysGetESValuesForComponentXML>(t, [&](char *&c) { return textFrom([&](std::string &out) { return environmentXml(s, c, out); }); });
    case proc::SysGetPresenceDetectAll::kNumber: return serve<proc::SysGetPresenceDetectAll>(t, [&] { return text(presenceAll(s)); });
    case proc::SysGetPresenceDetect::kNumber: return serve<proc::SysGetPresenceDetect>(t, [&](char *&c) { return s.presence(c); });
    // Sensor values.
    case proc::SysGetSensorValue::kNumber: return serve<proc::SysGetSensorValue>(t, [&](char *&id) { return sensorValue(s, id); });
    case proc::SysSetSensorValue::kNumber: return serve<proc::SysSetSensorValue>(t, [&](rpc_SysSetSensorInfo &r) { return s.setSensorValue(r.sensorId, r.value); });
    case proc::SysSetSensorThresholds::kNumber:
      return serve<proc::SysSetSensorThresholds>(t, [&](rpc_SysSetSensorThresh &r) { return s.setThresholds(r.sensorId, fromWire(r.thresholds)); });
    case proc::SysGetSensorThresholds::kNumber: return serve<proc::SysGetSensorThresholds>(t, [&](char *&id) { return thresholdsReply(s, id); });
    case proc::SysGetVRMGoodness::kNumber: return serve<proc::SysGetVRMGoodness>(t, [&](int &selector) { return goodnessReply(s, selector); });
    case proc::GetFanState::kNumber: return serve<proc::GetFanState>(t, [&] { return fanReply(s); });
    // Administration.
    case proc::SysGetConsoleConfig::kNumber: return serve<proc::SysGetConsoleConfig>(t, [&] { return consoleReply(s); });
    case proc::SysSetConsoleConfig::kNumber: return serve<proc::SysSetConsoleConfig>(t, [&](rpc_ConsoleConfig &r) { return setConsole(s, r); });
    case proc::SysSetCPUConfiguration::kNumber:
      return serve<proc::SysSetCPUConfiguration>(t, [&](rpc_CPUConfig &c) {
        return s.setCpuConfiguration({c.cpuValue1, c.cpuValue2, c.cpuValue3, c.cpuValue4, c.cpuValue5});
      });
    case proc::RegisterPID::kNumber: return serve<proc::RegisterPID>(t, [&](rpc_ProcessInfo &p) { return s.registerProcess(p.pid, static_cast<uint32_t>(p.processTag)); });
    case proc::Notify::kNumber: return serve<proc::Notify>(t, [&](int &n) { return s.notify(n); });
    case proc::InternalState::kNumber: return serve<proc::InternalState>(t, [&] { return BareTextHolder{s.internalState()}; });
    case proc::SetDbgLevel::kNumber: return serve<proc::SetDbgLevel>(t, [](int &level) { return setDebugLevel(level); });
    default:
      logf(kLogWarning, "procedure %u is not served", static_cast<unsigned>(request->rq_proc));
      svcerr_noproc(transport);
  }
  // clang-format on
}

}  // namespace qel::simd
