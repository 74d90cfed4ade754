// Client stubs of the procedures whose argument and reply are XDR primitives.
#include "protocol/procedures.hpp"

using namespace qel;

extern "C" {

int *stop_qel_server_1(void *argp, CLIENT *clnt) { return proc::StopServer::call(argp, clnt); }
int *configure_qel_server_1(void *argp, CLIENT *clnt) {
  return proc::ConfigureServer::call(argp, clnt);
}
int *reboot_sp_1(void *argp, CLIENT *clnt) { return proc::RebootSP::call(argp, clnt); }
int *platformgetstate_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetState::call(argp, clnt);
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
int *platformgettype_1(char **argp, CLIENT *clnt) {
  return proc::PlatformGetType::call(argp, clnt);
}
int *platformgetoffreason_1(void *argp, CLIENT *clnt) {
  return proc::PlatformGetOffReason::call(argp, clnt);
}
int *setdate_1(char **argp, CLIENT *clnt) { return proc::SetDate::call(argp, clnt); }
int *resettodefaultsettings_1(unsigned short *argp, CLIENT *clnt) {
  return proc::ResetToDefaults::call(argp, clnt);
}
int *sysgetcomponentstatus_1(char **argp, CLIENT *clnt) {
  return proc::ComponentStatus::call(argp, clnt);
}
int *sysgetpresencedetect_1(char **argp, CLIENT *clnt) {
  return proc::PresenceDetect::call(argp, clnt);
}
int *notify_1(int *argp, CLIENT *clnt) { return proc::Notify::call(argp, clnt); }
char **internalstate_1(void *argp, CLIENT *clnt) { return proc::InternalState::call(argp, clnt); }
int *setdbglevel_1(int *argp, CLIENT *clnt) { return proc::SetDebugLevel::call(argp, clnt); }

}  // extern "C"
