#include "fuzz_operations.hpp"

#include <cstdlib>

#include "protocol/procedures.hpp"

namespace qel::fuzz {
namespace {

using H = RemoteOperation::Handle;

char kComponent[] = "cpu0";
char kSensor[] = "cpu0.temp";

unsigned int withText(unsigned int (*operation)(char **)) {
  char *text = nullptr;
  const unsigned int result = operation(&text);
  free(text);
  return result;
}

unsigned int withComponentText(unsigned int (*operation)(const char *, char **)) {
  char *text = nullptr;
  const unsigned int result = operation(kComponent, &text);
  free(text);
  return result;
}

template <typename... Texts>
void freeAll(Texts... texts) {
  (free(texts), ...);
}

}  // namespace

const std::vector<RemoteOperation> &remoteOperations() {
  static const std::vector<RemoteOperation> operations = {
      {proc::StopServer::kNumber, qelStopServer, H::kAlwaysDropped},
      {proc::ConfigureServer::kNumber, qelConfigureServer, H::kDroppedOnFailure},
      {proc::RebootSP::kNumber, qelRebootSP, H::kDroppedOnFailure},
      {proc::PlatformGetState::kNumber,
       [] {
         int v;
         return qelPlatformGetState(&v);
       },
       H::kDroppedOnFailure},
      {proc::PlatformSetAction::kNumber, [] { return qelPlatformSetAction(1, 2, 3, "x"); },
       H::kDroppedOnFailure},
      {proc::PlatformGetPowerState::kNumber,
       [] {
         int v;
         return qelPlatformGetPowerState(&v);
       },
       H::kDroppedOnFailure},
      {proc::PlatformGetPowerLevel::kNumber,
       [] {
         int v;
         return qelPlatformGetPowerLevel(&v);
       },
       H::kDroppedOnFailure},
      {proc::PlatformGetType::kNumber,
       [] {
         int v;
         return qelPlatformGetType("key", &v);
       },
       H::kDroppedOnFailure},
      {proc::PlatformGetOffReason::kNumber,
       [] {
         int v;
         return qelPlatformGetShutdownReason(&v);
       },
       H::kDroppedOnFailure},
      {proc::GetIP::kNumber,
       [] {
         IPInfo info;
         return qelGetIP(0, 0, &info);
       },
       H::kDroppedOnFailure},
      {proc::GetIP::kNumber,
       [] {
         int enabled, dhcp;
         char *address = nullptr, *netmask = nullptr, *gateway = nullptr, *label = nullptr;
         unsigned char *hardware = nullptr;
         const unsigned int result =
             qelGetIP_Str(0, 0, &enabled, &dhcp, &address, &netmask, &gateway, &label, &hardware);
         freeAll(address, netmask, gateway, label, hardware);
         return result;
       },
       H::kDroppedOnFailure},
      {proc::GetDNS::kNumber,
       [] {
         unsigned int s1, s2, s3;
         char *text = nullptr;
         const unsigned int result = qelGetDNS3(0, &s1, &s2, &s3, &text);
         free(text);
         return result;
       },
       H::kDroppedOnFailure},
      {proc::GetDNS::kNumber,
       [] {
         char *servers = nullptr, *text = nullptr;
         const unsigned int result = qelGetDNS_Str(0, &servers, &text);
         freeAll(servers, text);
         return result;
       },
       H::kDroppedOnFailure},
      {proc::GetHostname::kNumber,
       [] {
         char *name = nullptr;
         const unsigned int result = qelGetHostname(0, &name);
         free(name);
         return result;
       },
       H::kDroppedOnFailure},
      {proc::GetPBMString::kNumber,
       [] {
         char *text = nullptr;
         const unsigned int result = qelGetPBMString(0, &text);
         free(text);
         return result;
       },
       H::kDroppedOnFailure},
      {proc::GetSensorInfo::kNumber,
       [] {
         SensorInfo info;
         return qelGetSensorInfo(kSensor, &info);
       },
       H::kDroppedOnFailure},
      {proc::GetSensorList::kNumber,
       [] {
         unsigned int count = 0;
         char **ids = nullptr;
         const unsigned int result = qelGetSensorList(0, 0, &count, &ids);
         if (result == RESULT_OK) {
           for (unsigned int i = 0; i < count; ++i) free(ids[i]);
           free(ids);
         }
         return result;
       },
       H::kDroppedOnFailure},
      {proc::SensorValuesXML::kNumber, [] { return withText(qelSysGetSensorValuesXML); },
       H::kDroppedOnFailure},
      {proc::SensorValuesASCII::kNumber, [] { return withText(qelSysGetSensorValuesASCII); },
       H::kDroppedOnFailure},
      {proc::ComponentValuesXML::kNumber,
       [] { return withComponentText(qelSysGetSensorValuesForComponentXML); },
       H::kDroppedOnFailure},
      {proc::ComponentValuesASCII::kNumber,
       [] { return withComponentText(qelSysGetSensorValuesForComponentASCII); },
       H::kDroppedOnFailure},
      {proc::GetSensorValue::kNumber,
       [] {
         float v;
         return qelSysGetSensorValue(kSensor, &v);
       },
       H::kDroppedOnFailure},
      // Both set operations read the sensor first; the second procedure is not scripted here.
      {proc::GetSensorValue::kNumber, [] { return qelSysSetSensorValue(kSensor, 1.0f); },
       H::kUnknown},
      {proc::GetSensorValue::kNumber,
       [] {
         const SensorThresholds thresholds{1, 1, 1, 1, 10, 20, 80, 90};
         return qelSysSetSensorThresholds(kSensor, &thresholds);
       },
       H::kUnknown},
      {proc::ComponentStatus::kNumber,
       [] {
         int v;
         return qelSysGetComponentStatus(kComponent, &v);
       },
       H::kDroppedOnFailure},
      {proc::ComponentStatusAll::kNumber, [] { return withText(qelSysGetComponentStatusAll); },
       H::kDroppedOnFailure},
      {proc::ESValuesXML::kNumber,
       [] { return withComponentText(qelSysGetESValuesForComponentXML); }, H::kDroppedOnFailure},
      {proc::GetConsoleConfig::kNumber,
       [] {
         int v1, v2, v3, v4;
         unsigned long v5;
         return qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5);
       },
       H::kDroppedOnFailure},
      {proc::PresenceDetectAll::kNumber, [] { return withText(qelSysGetPresenceDetectAll); },
       H::kDroppedOnFailure},
      {proc::PresenceDetect::kNumber,
       [] {
         int v;
         return qelSysGetPresenceDetect(kComponent, &v);
       },
       H::kDroppedOnFailure},
      {proc::GetSensorThresholds::kNumber,
       [] {
         SensorThresholds t;
         return qelSysGetSensorThresholds(kSensor, &t);
       },
       H::kDroppedOnFailure},
      {proc::GetVRMGoodness::kNumber,
       [] {
         int values[6];
         return qelSysGetVRMGoodness(0, 6, values);
       },
       H::kDroppedOnFailure},
      {proc::Notify::kNumber, [] { return qelNotify(1); }, H::kDroppedOnFailure},
      {proc::InternalState::kNumber,
       [] {
         char *state = qelInternalState();
         const unsigned int result = state != nullptr ? RESULT_OK : RESULT_CALL_FAILED;
         free(state);
         return result;
       },
       H::kUnknown},
      {proc::SetDebugLevel::kNumber, [] { return static_cast<unsigned int>(qelSetDebugLevel(1)); },
       H::kUnknown},
      {proc::GetFanState::kNumber,
       [] {
         FanState state;
         return qelGetFanState(&state);
       },
       H::kDroppedOnFailure},
  };
  return operations;
}

}  // namespace qel::fuzz
