// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/dispatch.hpp"

#include <algorithm>
#include <iterator>
#include <type_traits>

#include "lib/protocol/procedures.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/reports.hpp"
#include "simulator/rpc/answers.hpp"
#include "simulator/rpc/serve_call.hpp"

namespace qel::simd {

namespace {

// What a handler answers from: the simulated SP, and what only the server around it can do.
struct Served {
  SpState &state;
  const ServerControls &controls;
};

// One row of the dispatch table: a procedure of the table and the handler that serves it.
struct Route {
  rpcproc_t number;
  void (*handle)(const Call &call, Served &served);
};

// The route of procedure P: its argument is decoded and handed, with the SP, to `answer`, whose
// result is P's reply.
template <typename P, auto answer>
constexpr Route route() {
  return {P::kNumber, [](const Call &call, Served &x) {
            if constexpr (std::is_void_v<typename P::Argument>) {
              serve<P>(call, [&] { return answer(x); });
            } else {
              serve<P>(call, [&](typename P::Argument &a) { return answer(x, a); });
            }
          }};
}

constexpr Route kRoutes[] = {
    // Server control. The reply still goes out: the loop ends after this turn.
    route<proc::StopQelServer,
          [](Served &x) {
            x.controls.stop();
            return int{kOk};
          }>(),
    route<proc::ConfigureQelServer, [](Served &x) { return x.controls.configure(); }>(),
    route<proc::RebootSP,
          [](Served &x) {
            x.state.reboot();
            return int{kOk};
          }>(),
    // Platform.
    route<proc::PlatformGetState, [](Served &x) { return x.state.platformState(); }>(),
    route<proc::PlatformSetAction,
          [](Served &x, rpc_PlatformSetAction &a) {
            return x.state.setAction(a.actionCode, a.actionOption, a.actionValue, a.actionText);
          }>(),
    route<proc::PlatformGetPowerState, [](Served &x) { return x.state.powerState(); }>(),
    route<proc::PlatformGetPowerLevel, [](Served &x) { return x.state.powerLevel(); }>(),
    route<proc::PlatformSetPowerLevel,
          [](Served &x, int &level) { return x.state.setPowerLevel(level); }>(),
    route<proc::PlatformSetPowerState,
          [](Served &x, int &power) { return x.state.setPowerState(power); }>(),
    route<proc::PlatformButton,
          [](Served &x, int &button) { return x.state.pressButton(button); }>(),
    route<proc::PlatformMCEvent,
          [](Served &x, rpc_PlatformMCEvent &e) {
            return x.state.machineCheck(e.eventValue1, e.eventValue2, e.eventValue3, e.eventText);
          }>(),
    route<proc::PlatformGetType, [](Served &x, char *&key) { return x.state.platformType(key); }>(),
    route<proc::PlatformGetOffReason, [](Served &x) { return x.state.shutdownReason(); }>(),
    route<proc::PlatformDimmEvent,
          [](Served &x, rpc_PlatformDimmEvent &e) {
            return x.state.dimmError(e.eventValue1, e.eventValue2, e.eventValue3, e.eventValue4,
                                     e.eventText);
          }>(),
    // Network.
    route<proc::GetIP,
          [](Served &x, rpc_Interface &which) { return interfaceReply(x.state, which); }>(),
    route<proc::SetIP, [](Served &x, rpc_IPState &r) { return setInterface(x.state, r); }>(),
    route<proc::GetDNS, [](Served &x, u_int &selector) { return dnsReply(x.state, selector); }>(),
    route<proc::SetDNS, [](Served &x, rpc_DNSState &r) { return setDns(x.state, r); }>(),
    route<proc::GetHostname,
          [](Served &x, u_int &selector) {
            return textFrom([&](std::string &out) { return x.state.hostname(selector, out); });
          }>(),
    route<proc::SetHostname,
          [](Served &x, rpc_Hostname &r) {
            return x.state.setHostname(r.configSelector, r.hostname);
          }>(),
    route<proc::SetDate, [](Served &x, char *&date) { return x.state.setDate(date); }>(),
    route<proc::ResetToDefaultSettings,
          [](Served &x, u_short &selector) { return x.state.resetToDefaults(selector); }>(),
    // PBM strings.
    route<proc::GetPBMString,
          [](Served &x, u_int &slot) {
            return textFrom([&](std::string &out) { return x.state.pbmString(slot, out); });
          }>(),
    route<proc::SetPBMString,
          [](Served &x, rpc_PBMstring &r) {
            return x.state.setPbmString(r.pbmSelector, r.pbmText);
          }>(),
    // Sensor catalogue.
    route<proc::GetSensorInfo, [](Served &x, char *&id) { return sensorInfo(x.state, id); }>(),
    route<proc::GetSensorList,
          [](Served &x, rpc_SensorList &r) { return sensorList(x.state, r); }>(),
    // Sensor reports.
    route<proc::SysGetSensorValuesXML, [](Served &x) { return text(sensorValuesXml(x.state)); }>(),
    route<proc::SysGetSensorValuesASCII,
          [](Served &x) { return text(sensorValuesAscii(x.state)); }>(),
    route<proc::SysGetSensorValuesForComponentXML,
          [](Served &x, char *&c) {
            return textFrom([&](std::string &out) { return componentValuesXml(x.state, c, out); });
          }>(),
    route<proc::SysGetSensorValuesForComponentASCII,
          [](Served &x, char *&c) {
            return textFrom(
                [&](std::string &out) { return componentValuesAscii(x.state, c, out); });
          }>(),
    route<proc::SysGetComponentStatus,
          [](Served &x, char *&c) { return x.state.componentStatus(c); }>(),
    route<proc::SysGetComponentStatusAll,
          [](Served &x) { return text(componentStatusAll(x.state)); }>(),
    route<proc::SysGetESValuesForComponentXML,
          [](Served &x, char *&c) {
            return textFrom([&](std::string &out) { return environmentXml(x.state, c, out); });
          }>(),
    route<proc::SysGetPresenceDetectAll, [](Served &x) { return text(presenceAll(x.state)); }>(),
    route<proc::SysGetPresenceDetect, [](Served &x, char *&c) { return x.state.presence(c); }>(),
    // Sensor values.
    route<proc::SysGetSensorValue, [](Served &x, char *&id) { return sensorValue(x.state, id); }>(),
    route<proc::SysSetSensorValue,
          [](Served &x, rpc_SysSetSensorInfo &r) {
            return x.state.setSensorValue(r.sensorId, r.value);
          }>(),
    route<proc::SysSetSensorThresholds,
          [](Served &x, rpc_SysSetSensorThresh &r) {
            return x.state.setThresholds(r.sensorId, fromWire(r.thresholds));
          }>(),
    route<proc::SysGetSensorThresholds,
          [](Served &x, char *&id) { return thresholdsReply(x.state, id); }>(),
    route<proc::SysGetVRMGoodness,
          [](Served &x, int &selector) { return goodnessReply(x.state, selector); }>(),
    route<proc::GetFanState, [](Served &x) { return fanReply(x.state); }>(),
    // Administration.
    route<proc::SysGetConsoleConfig, [](Served &x) { return consoleReply(x.state); }>(),
    route<proc::SysSetConsoleConfig,
          [](Served &x, rpc_ConsoleConfig &r) { return setConsole(x.state, r); }>(),
    route<proc::SysSetCPUConfiguration,
          [](Served &x, rpc_CPUConfig &c) {
            return x.state.setCpuConfiguration(
                {c.cpuValue1, c.cpuValue2, c.cpuValue3, c.cpuValue4, c.cpuValue5});
          }>(),
    route<proc::RegisterPID,
          [](Served &x, rpc_ProcessInfo &p) {
            return x.state.registerProcess(p.pid, static_cast<uint32_t>(p.processTag));
          }>(),
    route<proc::Notify, [](Served &x, int &n) { return x.state.notify(n); }>(),
    route<proc::InternalState, [](Served &x) { return BareTextHolder{x.state.internalState()}; }>(),
    route<proc::SetDbgLevel, [](Served &, int &level) { return setDebugLevel(level); }>(),
};

}  // namespace

void dispatchRequest(svc_req *request, SVCXPRT *transport, SpState &state,
                     const ServerControls &controls, CallHooks *hooks) {
  const rpcproc_t number = request->rq_proc;
  if (!hooks) logf(kLogDebug, "procedure %u", static_cast<unsigned>(number));
  state.countRequest();
  if (number == NULLPROC) {
    svc_sendreply(transport, reinterpret_cast<xdrproc_t>(xdrNothing), nullptr);
    return;
  }
  const auto found = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                  [&](const Route &route) { return route.number == number; });
  if (found == std::end(kRoutes)) {
    logf(kLogWarning, "procedure %u is not served", static_cast<unsigned>(number));
    svcerr_noproc(transport);
    return;
  }
  Served served{state, controls};
  found->handle({transport, hooks}, served);
}

}  // namespace qel::simd
