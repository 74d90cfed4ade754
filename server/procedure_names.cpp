#include "server/procedure_names.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "protocol/procedures.hpp"

namespace qel::simd {

namespace {

constexpr std::pair<rpcproc_t, std::string_view> kNames[] = {
    {proc::StopServer::kNumber, "StopServer"},
    {proc::ConfigureServer::kNumber, "ConfigureServer"},
    {proc::RebootSP::kNumber, "RebootSP"},
    {proc::PlatformGetState::kNumber, "PlatformGetState"},
    {proc::PlatformSetAction::kNumber, "PlatformSetAction"},
    {proc::PlatformGetPowerState::kNumber, "PlatformGetPowerState"},
    {proc::PlatformGetPowerLevel::kNumber, "PlatformGetPowerLevel"},
    {proc::PlatformSetPowerLevel::kNumber, "PlatformSetPowerLevel"},
    {proc::PlatformSetPowerState::kNumber, "PlatformSetPowerState"},
    {proc::PlatformButton::kNumber, "PlatformButton"},
    {proc::PlatformMCEvent::kNumber, "PlatformMCEvent"},
    {proc::PlatformGetType::kNumber, "PlatformGetType"},
    {proc::PlatformGetOffReason::kNumber, "PlatformGetOffReason"},
    {proc::PlatformDimmEvent::kNumber, "PlatformDimmEvent"},
    {proc::GetIP::kNumber, "GetIP"},
    {proc::SetIP::kNumber, "SetIP"},
    {proc::GetDNS::kNumber, "GetDNS"},
    {proc::SetDNS::kNumber, "SetDNS"},
    {proc::GetHostname::kNumber, "GetHostname"},
    {proc::SetHostname::kNumber, "SetHostname"},
    {proc::SetDate::kNumber, "SetDate"},
    {proc::ResetToDefaults::kNumber, "ResetToDefaults"},
    {proc::GetPBMString::kNumber, "GetPBMString"},
    {proc::SetPBMString::kNumber, "SetPBMString"},
    {proc::GetSensorInfo::kNumber, "GetSensorInfo"},
    {proc::GetSensorList::kNumber, "GetSensorList"},
    {proc::SensorValuesXML::kNumber, "SensorValuesXML"},
    {proc::SensorValuesASCII::kNumber, "SensorValuesASCII"},
    {proc::ComponentValuesXML::kNumber, "ComponentValuesXML"},
    {proc::ComponentValuesASCII::kNumber, "ComponentValuesASCII"},
    {proc::GetSensorValue::kNumber, "GetSensorValue"},
    {proc::SetSensorValue::kNumber, "SetSensorValue"},
    {proc::ComponentStatus::kNumber, "ComponentStatus"},
    {proc::ComponentStatusAll::kNumber, "ComponentStatusAll"},
    {proc::ESValuesXML::kNumber, "ESValuesXML"},
    {proc::GetConsoleConfig::kNumber, "GetConsoleConfig"},
    {proc::SetConsoleConfig::kNumber, "SetConsoleConfig"},
    {proc::PresenceDetectAll::kNumber, "PresenceDetectAll"},
    {proc::PresenceDetect::kNumber, "PresenceDetect"},
    {proc::SetCPUConfig::kNumber, "SetCPUConfig"},
    {proc::SetSensorThresholds::kNumber, "SetSensorThresholds"},
    {proc::GetSensorThresholds::kNumber, "GetSensorThresholds"},
    {proc::GetVRMGoodness::kNumber, "GetVRMGoodness"},
    {proc::RegisterPID::kNumber, "RegisterPID"},
    {proc::Notify::kNumber, "Notify"},
    {proc::InternalState::kNumber, "InternalState"},
    {proc::SetDebugLevel::kNumber, "SetDebugLevel"},
    {proc::GetFanState::kNumber, "GetFanState"},
};

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
