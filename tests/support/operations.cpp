// SPDX-License-Identifier: Apache-2.0
// Every procedure number, request and reply below is written out by hand from the protocol's
// definition, never taken from the library's tables: a mistyped number or field order in the
// library fails against them.
#include "operations.hpp"

#include <array>
#include <cstdlib>

namespace qel::test {
namespace {

using C = Convention;
using O = Outputs;

Bytes str(const std::string &text) { return xdrString(text); }
Bytes w(std::initializer_list<uint32_t> values) { return words(values); }
uint32_t u(int32_t value) { return static_cast<uint32_t>(value); }

// Replies by convention, carrying `code`.
Bytes status(int32_t code) { return encodeInt(code); }
Bytes signedValue(int32_t code) { return encodeInt(code == 0 ? 7 : -code); }
Bytes text(int32_t code) { return concat({w({u(code)}), str("text")}); }

constexpr uint32_t k21_5 = 0x41AC0000, k1_5 = 0x3FC00000, k10 = 0x41200000, k20 = 0x41A00000,
                   k80 = 0x42A00000, k90 = 0x42B40000;
char kSensor[] = "cpu0.temp";
char kComponent[] = "cpu0";
const Bytes kSensorArg = str(kSensor);
const Bytes kComponentArg = str(kComponent);

Bytes ipStateWithLabel(const std::string &label, uint32_t hardware, int32_t code = 0) {
  Bytes bytes = concat({w({1, 5, u(code), 0x0A000002, 0xFFFFFF00, 0x0A000001, 1, 1, 1, 1, 0}),
                        str(label), w({hardware})});
  for (uint32_t i = 0; i < hardware; ++i) bytes = concat({bytes, w({i * 0x11})});
  return concat({bytes, str("")});
}
Bytes ipState(int32_t code) { return ipStateWithLabel("eth0", 6, code); }
// The request of the address write: enabled, address 10.0.0.2/24 through 10.0.0.1, an empty
// label, no hardware address.
const Bytes kSetIP =
    concat({w({1, 5, 0, 0x0A000002, 0xFFFFFF00, 0x0A000001, 1, 1, 1, 1, 0, 0, 0}), str("req")});
Bytes dnsState(int32_t code) {
  return concat({w({u(code), 5, 0x01020304, 1, 0x05060708, 1, 0, 0}), str("dns")});
}
const Bytes kSetDNS = concat({w({0, 5, 0x01020304, 1, 0x05060708, 1, 0, 0}), str("dns")});
Bytes sensorInfo(int32_t code) {
  return concat({w({u(code)}), str("t1"), str("t2"), str("t3"), str("t4"), str("t5"), str("t6"),
                 str("t7"), w({1, 2, k1_5, k21_5, k1_5, 3, 4, 5})});
}
Bytes fanState(int32_t code) {
  Bytes bytes = w({u(code), 1, 2, 3, 4, 5, 6, 7, 8, 3});
  for (uint32_t i = 0; i < 16; ++i) bytes = concat({bytes, w({100 + i})});
  return bytes;
}
Bytes type(int32_t code) { return encodeInt(code == 0 ? 3 : 0); }
Bytes sensorList(int32_t code) { return concat({w({u(code), 2}), str("a"), str("b")}); }
Bytes sensorValue(int32_t code) { return w({u(code), k21_5}); }
Bytes console(int32_t code) { return w({u(code), 3, 2, 4, 0xFFFFFFFF, 1}); }
Bytes thresholds(int32_t code) { return w({u(code), k10, k20, k80, k90, 1, 0, 1, 255}); }
Bytes goodness(int32_t code) { return w({u(code), 4, 1, 2, 3, 4}); }
Bytes bareText(int32_t) { return str("running"); }
const uint32_t kUnsigned = 0x05060708;
const SensorThresholds kThresholds{1, 0x101, 255, 0, 10.0f, 20.0f, 80.0f, 90.0f};

unsigned int report(unsigned int (*operation)(char **), O &o) { return operation(o.text("text")); }
unsigned int componentReport(unsigned int (*operation)(const char *, char **), O &o) {
  return operation(kComponent, o.text("text"));
}

// One row per operation: name, procedures, request, reply by code, convention, call, and the
// good reply of the earlier procedures and the oversized replies where there are any.
// clang-format off
std::vector<Operation> rows() {
  static const unsigned int a = 0x01020304, b = kUnsigned, ip = 0x0A000002, mask = 0xFFFFFF00,
                            gate = 0x0A000001;
  static const unsigned short selector = 3;
  const Bytes beyond = concat({w({0, 0xFFFFFFF0}), {'a', 'b', 'c', 'd'}});
  return {
      {"qelStopServer", {1}, {}, status, C::kStop, [](O &) { return qelStopServer(); }},
      {"qelConfigureServer", {2}, {}, status, C::kStatus, [](O &) { return qelConfigureServer(); }},
      {"qelRebootSP", {3}, {}, status, C::kStatus, [](O &) { return qelRebootSP(); }},
      {"qelPlatformGetState", {1001}, {}, signedValue, C::kSignedZeroOnError,
       [](O &o) { return qelPlatformGetState(o.value(7)); }},
      {"qelPlatformSetAction", {1002}, concat({w({1, 200, 3}), str("x")}), status, C::kStatus,
       [](O &) { return qelPlatformSetAction(1, 200, 3, "x"); }},
      {"qelPlatformGetPowerState", {1003}, {}, signedValue, C::kSignedZeroOnError,
       [](O &o) { return qelPlatformGetPowerState(o.value(7)); }},
      {"qelPlatformGetPowerLevel", {1004}, {}, signedValue, C::kSigned,
       [](O &o) { return qelPlatformGetPowerLevel(o.value(7)); }},
      {"qelPlatformSetPowerLevel", {1005}, w({60}), status, C::kStatus,
       [](O &) { return qelPlatformSetPowerLevel(60); }},
      {"qelPlatformSetPowerState", {1011}, w({1}), status, C::kStatus,
       [](O &) { return qelPlatformSetPowerState(1); }},
      {"qelPlatformButton", {1012}, w({2}), status, C::kStatus,
       [](O &) { return qelPlatformButton(2); }},
      {"qelPlatformMachineCheckEvent", {1013}, concat({w({1, 2, 3}), str("mc")}), status,
       C::kStatus,
       [](O &) { return qelPlatformMachineCheckEvent(1, 2, 3, "mc"); }},
      {"qelPlatformGetType", {1014}, str("chassis"), type, C::kZeroRejected,
       [](O &o) { return qelPlatformGetType("chassis", o.value(3)); }},
      {"qelPlatformGetShutdownReason", {1015}, {}, signedValue, C::kSigned,
       [](O &o) { return qelPlatformGetShutdownReason(o.value(7)); }},
      {"qelPlatformLogDimmError", {1016}, concat({w({1, 2, 3, 4}), str("d")}), status, C::kStatus,
       [](O &) { return qelPlatformLogDimmError(1, 2, 3, 4, "d"); }},
      {"qelGetIP", {1020}, w({1, 5}), ipState, C::kRecord,
       [](O &o) { return qelGetIP(5, 1, o.filled<IPInfo>()); },
       {}, {ipStateWithLabel(std::string(33, 'L'), 6), ipStateWithLabel("eth0", 7)}},
      {"qelGetIP_Str", {1020}, w({1, 5}), ipState, C::kRecord, [](O &o) {
         return qelGetIP_Str(5, 1, o.value(1), o.value(0), o.text("10.0.0.2"),
                             o.text("255.255.255.0"),
                             o.text("10.0.0.1"), o.text("eth0"), o.block()); }},
      {"qelSetIP", {1021}, kSetIP, status, C::kStatus,
       [](O &) { return qelSetIP(5, 1, 1, 0, &ip, &mask, &gate, "req"); }},
      {"qelSetIP_Str", {1021}, kSetIP, status, C::kStatus,
       [](O &) {
         return qelSetIP_Str(5, 1, 1, 0, "10.0.0.2", "255.255.255.0", "10.0.0.1", "req"); }},
      {"qelGetDNS3", {1022}, w({5}), dnsState, C::kRecord, [](O &o) {
         return qelGetDNS3(5, o.value(a), o.value(b), o.slot<unsigned int>(), o.text("dns")); }},
      {"qelGetDNS", {1022}, w({5}), dnsState, C::kRecord,
       [](O &o) { return qelGetDNS(5, o.value(a), o.text("dns")); }},
      {"qelGetDNS_Str", {1022}, w({5}), dnsState, C::kRecord,
       [](O &o) { return qelGetDNS_Str(5, o.text("1.2.3.4, 5.6.7.8"), o.text("dns")); }},
      {"qelSetDNS3", {1023}, kSetDNS, status, C::kStatus,
       [](O &) { return qelSetDNS3(5, &a, &b, nullptr, "dns"); }},
      {"qelSetDNS", {1023}, concat({w({0, 5, 0x01020304, 1, 0, 0, 0, 0}), str("dns")}), status,
       C::kStatus,
       [](O &) { return qelSetDNS(5, &a, "dns"); }},
      {"qelSetDNS_Str", {1023}, kSetDNS, status, C::kStatus,
       [](O &) { return qelSetDNS_Str(5, "1.2.3.4, 5.6.7.8", "dns"); }},
      {"qelGetHostname", {1024}, w({5}), text, C::kRecord,
       [](O &o) { return qelGetHostname(5, o.text("text")); }},
      {"qelSetHostname", {1025}, concat({w({5}), str("sp")}), status, C::kStatus,
       [](O &) { return qelSetHostname(5, "sp"); }},
      {"qelSetDate", {1028}, str("120612002026"), status, C::kStatus,
       [](O &) { return qelSetDate("120612002026"); }},
      {"qelResetToDefaultSettings", {1029}, w({3}), status, C::kStatus,
       [](O &) { return qelResetToDefaultSettings(&selector); }},
      {"qelGetPBMString", {1050}, w({4}), text, C::kRecord,
       [](O &o) { return qelGetPBMString(4, o.text("text")); }},
      {"qelSetPBMString", {1051}, concat({w({4}), str("pbm")}), status, C::kStatus,
       [](O &) { return qelSetPBMString(4, "pbm"); }},
      {"qelGetSensorInfo", {1500}, kSensorArg, sensorInfo, C::kRecord,
       [](O &o) { return qelGetSensorInfo(kSensor, o.filled<SensorInfo>()); }, {}, {beyond}},
      {"qelGetSensorList", {1501}, w({1, 2}), sensorList, C::kRecord, [](O &o) {
         unsigned int *count = o.value(2u);
         return qelGetSensorList(1, 2, count, o.list(count)); },
       {}, {w({0, 0x7FFFFFFF}), concat({w({0, 0x7FFFFFFF}), str("fan0")})}},
      {"qelSysGetSensorValuesXML", {2002}, {}, text, C::kRecord,
       [](O &o) { return report(qelSysGetSensorValuesXML, o); }, {}, {beyond}},
      {"qelSysGetSensorValuesASCII", {2003}, {}, text, C::kRecord,
       [](O &o) { return report(qelSysGetSensorValuesASCII, o); }},
      {"qelSysGetSensorValuesForComponentXML", {2004}, kComponentArg, text, C::kRecord,
       [](O &o) { return componentReport(qelSysGetSensorValuesForComponentXML, o); }},
      {"qelSysGetSensorValuesForComponentASCII", {2005}, kComponentArg, text, C::kRecord,
       [](O &o) { return componentReport(qelSysGetSensorValuesForComponentASCII, o); }},
      {"qelSysGetSensorValue", {2006}, kSensorArg, sensorValue, C::kRecord,
       [](O &o) { return qelSysGetSensorValue(kSensor, o.value(21.5f)); }},
      {"qelSysSetSensorValue", {2007}, concat({kSensorArg, w({k1_5})}), status, C::kStatus,
       [](O &) { return qelSysSetSensorValue(kSensor, 1.5f); }},
      {"qelSysGetComponentStatus", {2008}, kComponentArg, signedValue, C::kSigned,
       [](O &o) { return qelSysGetComponentStatus(kComponent, o.value(7)); }},
      {"qelSysGetComponentStatusAll", {2009}, {}, text, C::kRecord,
       [](O &o) { return report(qelSysGetComponentStatusAll, o); }},
      {"qelSysGetESValuesForComponentXML", {2010}, kComponentArg, text, C::kRecord,
       [](O &o) { return componentReport(qelSysGetESValuesForComponentXML, o); }},
      {"qelSysGetConsoleConfig", {2011}, {}, console, C::kRecordAlwaysCopied, [](O &o) {
         return qelSysGetConsoleConfig(o.value(1), o.value(2), o.value(3), o.value(4),
                                       o.value(4294967295ul)); }},
      {"qelSysSetConsoleConfig", {2012}, w({0, 3, 2, 4, 5, 1}), status, C::kStatus,
       [](O &) { return qelSysSetConsoleConfig(1, 2, 3, 4, 5); }},
      {"qelSysGetPresenceDetectAll", {2013}, {}, text, C::kRecord,
       [](O &o) { return report(qelSysGetPresenceDetectAll, o); }},
      {"qelSysGetPresenceDetect", {2014}, kComponentArg, signedValue, C::kSigned,
       [](O &o) { return qelSysGetPresenceDetect(kComponent, o.value(7)); }},
      {"qelSetCPUConfiguration", {2015}, w({1, 2, 3, 4, 5}), status, C::kStatus,
       [](O &) { return qelSetCPUConfiguration(1, 2, 3, 4, 5); }},
      {"qelSysSetSensorThresholds", {2006, 2016},
       concat({kSensorArg, w({k10, k20, k80, k90, 1, 1, 255, 0})}),
       status, C::kStatus,
       [](O &) { return qelSysSetSensorThresholds(kSensor, &kThresholds); }, w({0, k21_5})},
      {"qelSysGetSensorThresholds", {2017}, kSensorArg, thresholds, C::kRecord, [](O &o) {
         const SensorThresholds expected{1, 0, 1, 255, 10.0f, 20.0f, 80.0f, 90.0f};
         return qelSysGetSensorThresholds(kSensor, o.value(expected)); }},
      {"qelSysGetVRMGoodness", {2019}, w({2}), goodness, C::kRecord,
       [](O &o) { return qelSysGetVRMGoodness(2, 4, o.value(std::array{1, 2, 3, 4})->data()); },
       {}, {w({0, 5, 1, 2, 3, 4, 5})}},
      {"qelRegisterPID", {3002}, w({77, 0x12345678}), status, C::kStatus,
       [](O &) { return qelRegisterPID(77, 0x12345678ul); }},
      {"qelNotify", {3003}, w({3}), status, C::kStatus, [](O &) { return qelNotify(3); }},
      {"qelInternalState", {4000}, {}, bareText, C::kText, [](O &) {
         char *state = qelInternalState();
         const unsigned int result = !state ? 2 : std::strcmp(state, "running") != 0 ? 99 : 0;
         std::free(state);
         return result; },
       {}, {concat({w({0xFFFFFFF0}), {'a', 'b', 'c', 'd'}})}},
      {"qelSetDebugLevel", {4001}, w({2}), status, C::kQuietStatus,
       [](O &) { return static_cast<unsigned int>(qelSetDebugLevel(2)); }},
      {"qelGetFanState", {4002}, {}, fanState, C::kRecord,
       [](O &o) { return qelGetFanState(o.filled<FanState>()); }},
  };
}
// clang-format on

}  // namespace

void script(ScriptedServer &server, const Operation &op, const Reply &reply, bool once) {
  for (std::size_t i = 0; i + 1 < op.procedures.size(); ++i) {
    server.answer(op.procedures[i], Reply::body(op.before));
  }
  (server.*(once ? &ScriptedServer::answerOnce : &ScriptedServer::answer))(op.procedures.back(),
                                                                           reply);
}

const std::vector<Operation> &operations() {
  static const std::vector<Operation> all = rows();
  return all;
}

}  // namespace qel::test
