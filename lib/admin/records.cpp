// SPDX-License-Identifier: Apache-2.0
// Administration records.
#include "lib/protocol/xdr_codec.hpp"

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

}  // extern "C"
