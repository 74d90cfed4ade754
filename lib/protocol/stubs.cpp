// SPDX-License-Identifier: Apache-2.0
// Every client stub, in the order of the procedure table: each is the table's entry called with
// its argument on the thread's handle (lib/protocol/stub.hpp).
#include "lib/protocol/procedures.hpp"

using namespace qel;

extern "C" {

int *stop_qel_server_1(void *argp, CLIENT *clnt) { return proc::StopQelServer::call(argp, clnt); }
int *configure_qel_server_1(void *argp, CLIENT *clnt) {
  return proc::ConfigureQelServer::call(argp, clnt);
}
int *reboot_sp_1(void *argp, CLIENT *clnt) { return proc::RebootSP::call(argp, clnt); }
int *platformgetstate_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetState::call(argp, clnt);
}
int *platformsetaction_1(rpc_PlatformSetAction *argp, CLIENT *clnt) {
  return proc::PlatformSetAction::call(argp, clnt);
}
int *platformgetpowerstate_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetPowerState::call(argp, clnt);
}
int *platformgetpowerlevel_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetPowerLevel::call(argp, clnt);
}
int *platformsetpowerlevel_1(int *argp, CLIENT *clnt) {
  return proc::PlatformSetPowerLevel::call(argp, clnt);
}
int *platformsetpowerstate_1(int *argp, CLIENT *clnt) {
  return proc::PlatformSetPowerState::call(argp, clnt);
}
int *platformbutton_1(int *argp, CLIENT *clnt) { return proc::PlatformButton::call(argp, clnt); }
int *platformmcevent_1(rpc_PlatformMCEvent *argp, CLIENT *clnt) {
  return proc::PlatformMCEvent::call(argp, clnt);
}
int *platformgettype_1(char **argp, CLIENT *clnt) {
  return proc::PlatformGetType::call(argp, clnt);
}
int *platformgetoffreason_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetOffReason::call(argp, clnt);
}
int *platformdimmevent_1(rpc_PlatformDimmEvent *argp, CLIENT *clnt) {
  return proc::PlatformDimmEvent::call(argp, clnt);
}
rpc_IPState *getip_1(rpc_Interface *argp, CLIENT *clnt) { return proc::GetIP::call(argp, clnt); }
int *setip_1(rpc_IPState *argp, CLIENT *clnt) { return proc::SetIP::call(argp, clnt); }
rpc_DNSState *getdns_1(unsigned int *argp, CLIENT *clnt) { return proc::GetDNS::call(argp, clnt); }
int *setdns_1(rpc_DNSState *argp, CLIENT *clnt) { return proc::SetDNS::call(argp, clnt); }
rpc_StringAndEC *gethostname_1(unsigned int *argp, CLIENT *clnt) {
  return proc::GetHostname::call(argp, clnt);
}
int *sethostname_1(rpc_Hostname *argp, CLIENT *clnt) { return proc::SetHostname::call(argp, clnt); }
int *setdate_1(char **argp, CLIENT *clnt) { return proc::SetDate::call(argp, clnt); }
int *resettodefaultsettings_1(unsigned short *argp, CLIENT *clnt) {
  return proc::ResetToDefaultSettings::call(argp, clnt);
}
rpc_StringAndEC *getpbmstring_1(unsigned int *argp, CLIENT *clnt) {
  return proc::GetPBMString::call(argp, clnt);
}
int *setpbmstring_1(rpc_PBMstring *argp, CLIENT *clnt) {
  return proc::SetPBMString::call(argp, clnt);
}
rpc_SensorInfo *getsensorinfo_1(char **argp, CLIENT *clnt) {
  return proc::GetSensorInfo::call(argp, clnt);
}
rpc_SensorListReturn *getsensorlist_1(rpc_SensorList *argp, CLIENT *clnt) {
  return proc::GetSensorList::call(argp, clnt);
}
rpc_StringAndEC *sysgetsensorvaluesxml_1(void *argp, CLIENT *clnt) {
  return proc::SysGetSensorValuesXML::call(argp, clnt);
}
rpc_StringAndEC *sysgetsensorvaluesascii_1(void *argp, CLIENT *clnt) {
  return proc::SysGetSensorValuesASCII::call(argp, clnt);
}
rpc_StringAndEC *sysgetsensorvaluesforcomponentxml_1(char **argp, CLIENT *clnt) {
  return proc::SysGetSensorValuesForComponentXML::call(argp, clnt);
}
rpc_StringAndEC *sysgetsensorvaluesforcomponentascii_1(char **argp, CLIENT *clnt) {
  return proc::SysGetSensorValuesForComponentASCII::call(argp, clnt);
}
rpc_FloatAndEC *sysgetsensorvalue_1(char **argp, CLIENT *clnt) {
  return proc::SysGetSensorValue::call(argp, clnt);
}
int *syssetsensorvalue_1(rpc_SysSetSensorInfo *argp, CLIENT *clnt) {
  return proc::SysSetSensorValue::call(argp, clnt);
}
int *sysgetcomponentstatus_1(char **argp, CLIENT *clnt) {
  return proc::SysGetComponentStatus::call(argp, clnt);
}
rpc_StringAndEC *sysgetcomponentstatusall_1(void *argp, CLIENT *clnt) {
  return proc::SysGetComponentStatusAll::call(argp, clnt);
}
rpc_StringAndEC *sysgetesvaluesforcomponentxml_1(char **argp, CLIENT *clnt) {
  return proc::SysGetESValuesForComponentXML::call(argp, clnt);
}
rpc_ConsoleConfig *sysgetconsoleconfig_1(void *argp, CLIENT *clnt) {
  return proc::SysGetConsoleConfig::call(argp, clnt);
}
int *syssetconsoleconfig_1(rpc_ConsoleConfig *argp, CLIENT *clnt) {
  return proc::SysSetConsoleConfig::call(argp, clnt);
}
rpc_StringAndEC *sysgetpresencedetectall_1(void *argp, CLIENT *clnt) {
  return proc::SysGetPresenceDetectAll::call(argp, clnt);
}
int *sysgetpresencedetect_1(char **argp, CLIENT *clnt) {
  return proc::SysGetPresenceDetect::call(argp, clnt);
}
int *syssetcpuconfiguration_1(rpc_CPUConfig *argp, CLIENT *clnt) {
  return proc::SysSetCPUConfiguration::call(argp, clnt);
}
int *syssetsensorthresholds_1(rpc_SysSetSensorThresh *argp, CLIENT *clnt) {
  return proc::SysSetSensorThresholds::call(argp, clnt);
}
rpc_SysGetSensorThresh *sysgetsensorthresholds_1(char **argp, CLIENT *clnt) {
  return proc::SysGetSensorThresholds::call(argp, clnt);
}
rpc_SysGetVRMGoodness *sysgetvrmgoodness_1(int *argp, CLIENT *clnt) {
  return proc::SysGetVRMGoodness::call(argp, clnt);
}
int *registerpid_1(rpc_ProcessInfo *argp, CLIENT *clnt) {
  return proc::RegisterPID::call(argp, clnt);
}
int *notify_1(int *argp, CLIENT *clnt) { return proc::Notify::call(argp, clnt); }
char **internalstate_1(void *argp, CLIENT *clnt) { return proc::InternalState::call(argp, clnt); }
int *setdbglevel_1(int *argp, CLIENT *clnt) { return proc::SetDbgLevel::call(argp, clnt); }
rpc_FanDebugState *getfanstate_1(void *argp, CLIENT *clnt) {
  return proc::GetFanState::call(argp, clnt);
}

}  // extern "C"
