// Administration records and the stubs of the procedures that carry them.
#include "protocol/procedures.hpp"

using namespace qel;

extern "C" {

// Whole-record inline blocks; consoleValue5 is 32 bits on the wire whatever unsigned long is.
bool_t xdr_rpc_ConsoleConfig(XDR *xdrs, rpc_ConsoleConfig *record) {
  return xdrWords(xdrs, &record->errorCode, &record->consoleValue3, &record->consoleValue2,
                  &record->consoleValue4, &record->consoleValue5, &record->consoleValue1);
}

bool_t xdr_rpc_CPUConfig(XDR *xdrs, rpc_CPUConfig *record) {
  return xdrWords(xdrs, &record->cpuValue1, &record->cpuValue2, &record->cpuValue3,
                  &record->cpuValue4, &record->cpuValue5);
}

bool_t xdr_rpc_PBMstring(XDR *xdrs, rpc_PBMstring *record) {
  return xdr_u_int(xdrs, &record->pbmSelector) && xdrText(xdrs, &record->pbmText);
}

bool_t xdr_rpc_ProcessInfo(XDR *xdrs, rpc_ProcessInfo *record) {
  return xdr_int(xdrs, &record->pid) && xdr_u_long(xdrs, &record->processTag);
}

// clang-format off
rpc_ConsoleConfig *sysgetconsoleconfig_1(void *argp, CLIENT *clnt) { return proc::GetConsoleConfig::call(argp, clnt); }
int *syssetconsoleconfig_1(rpc_ConsoleConfig *argp, CLIENT *clnt) { return proc::SetConsoleConfig::call(argp, clnt); }
int *syssetcpuconfiguration_1(rpc_CPUConfig *argp, CLIENT *clnt) { return proc::SetCPUConfig::call(argp, clnt); }
int *setpbmstring_1(rpc_PBMstring *argp, CLIENT *clnt) { return proc::SetPBMString::call(argp, clnt); }
int *registerpid_1(rpc_ProcessInfo *argp, CLIENT *clnt) { return proc::RegisterPID::call(argp, clnt); }
// clang-format on

}  // extern "C"
