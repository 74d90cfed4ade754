// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/procedure_names.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "lib/protocol/procedures.hpp"

namespace qel::simd {

namespace {

// A procedure's name is the table's own.
#define NAMED(P) std::pair<rpcproc_t, std::string_view>(proc::P::kNumber, #P)
constexpr std::pair<rpcproc_t, std::string_view> kNames[] = {
    NAMED(StopQelServer),
    NAMED(ConfigureQelServer),
    NAMED(RebootSP),
    NAMED(PlatformGetState),
    NAMED(PlatformSetAction),
    NAMED(PlatformGetPowerState),
    NAMED(PlatformGetPowerLevel),
    NAMED(PlatformSetPowerLevel),
    NAMED(PlatformSetPowerState),
    NAMED(PlatformButton),
    NAMED(PlatformMCEvent),
    NAMED(PlatformGetType),
    NAMED(PlatformGetOffReason),
    NAMED(PlatformDimmEvent),
    NAMED(GetIP),
    NAMED(SetIP),
    NAMED(GetDNS),
    NAMED(SetDNS),
    NAMED(GetHostname),
    NAMED(SetHostname),
    NAMED(SetDate),
    NAMED(ResetToDefaultSettings),
    NAMED(GetPBMString),
    NAMED(SetPBMString),
    NAMED(GetSensorInfo),
    NAMED(GetSensorList),
    NAMED(SysGetSensorValuesXML),
    NAMED(SysGetSensorValuesASCII),
    NAMED(SysGetSensorValuesForComponentXML),
    NAMED(SysGetSensorValuesForComponentASCII),
    NAMED(SysGetSensorValue),
    NAMED(SysSetSensorValue),
    NAMED(SysGetComponentStatus),
    NAMED(SysGetComponentStatusAll),
    NAMED(SysGetESValuesForComponentXML),
    NAMED(SysGetConsoleConfig),
    NAMED(SysSetConsoleConfig),
    NAMED(SysGetPresenceDetectAll),
    NAMED(SysGetPresenceDetect),
    NAMED(SysSetCPUConfiguration),
    NAMED(SysSetSensorThresholds),
    NAMED(SysGetSensorThresholds),
    NAMED(SysGetVRMGoodness),
    NAMED(RegisterPID),
    NAMED(Notify),
    NAMED(InternalState),
    NAMED(SetDbgLevel),
    NAMED(GetFanState),
};
#undef NAMED

bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string procedureName(rpcproc_t number) {
  for (const auto &[n, name] : kNames) {
    if (n == number) return std::string(name);
  }
  return std::to_string(number);
}

std::optional<rpcproc_t> procedureNumber(std::string_view text) {
  rpcproc_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  const bool numeric = error == std::errc() && end == text.data() + text.size();
  for (const auto &[n, name] : kNames) {
    if (numeric ? n == number : sameName(name, text)) return n;
  }
  return std::nullopt;
}

}  // namespace qel::simd
