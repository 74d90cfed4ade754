// SPDX-License-Identifier: Apache-2.0
// The procedure table: every remote procedure of the management server, version 1, with its
// number, argument and reply codecs. Numbers live here and nowhere else.
//
// Names: a procedure is named after its stub, the stub's name without "_1" in capitalised
// words. platformgetoffreason_1 is PlatformGetOffReason here, in lib/protocol/stubs.cpp, in the
// comment of qelPlatformGetShutdownReason and in qel-simd's trace and control channel.
#pragma once

#include <cstdio>
#include <string>

#include "lib/protocol/stub.hpp"
#include "lib/protocol/xdr_codec.hpp"

namespace qel::proc {

inline constexpr rpcvers_t kVersion = 1;
inline constexpr rpcprog_t kDefaultProgram = 0x2051454C;

// The default program as the tools' help texts write it.
inline std::string defaultProgramText() {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(kDefaultProgram));
  return text;
}

// Each entry: Procedure<number, argument type, reply type, argument codec, reply codec>.
using StopQelServer = Procedure<1, void, int, xdrNothing, xdr_int>;
using ConfigureQelServer = Procedure<2, void, int, xdrNothing, xdr_int>;
using RebootSP = Procedure<3, void, int, xdrNothing, xdr_int>;
using PlatformGetState = Procedure<1001, void, int, xdrNothing, xdr_int>;
using PlatformSetAction =
    Procedure<1002, rpc_PlatformSetAction, int, xdr_rpc_PlatformSetAction, xdr_int>;
using PlatformGetPowerState = Procedure<1003, void, int, xdrNothing, xdr_int>;
using PlatformGetPowerLevel = Procedure<1004, void, int, xdrNothing, xdr_int>;
using PlatformSetPowerLevel = Procedure<1005, int, int, xdr_int, xdr_int>;
using PlatformSetPowerState = Procedure<1011, int, int, xdr_int, xdr_int>;
using PlatformButton = Procedure<1012, int, int, xdr_int, xdr_int>;
using PlatformMCEvent = Procedure<1013, rpc_PlatformMCEvent, int, xdr_rpc_PlatformMCEvent, xdr_int>;
using PlatformGetType = Procedure<1014, char *, int, xdrText, xdr_int>;
using PlatformGetOffReason = Procedure<1015, void, int, xdrNothing, xdr_int>;
using PlatformDimmEvent =
    Procedure<1016, rpc_PlatformDimmEvent, int, xdr_rpc_PlatformDimmEvent, xdr_int>;
using GetIP = Procedure<1020, rpc_Interface, rpc_IPState, xdr_rpc_Interface, xdr_rpc_IPState>;
using SetIP = Procedure<1021, rpc_IPState, int, xdr_rpc_IPState, xdr_int>;
using GetDNS = Procedure<1022, u_int, rpc_DNSState, xdr_u_int, xdr_rpc_DNSState>;
using SetDNS = Procedure<1023, rpc_DNSState, int, xdr_rpc_DNSState, xdr_int>;
using GetHostname = Procedure<1024, u_int, rpc_StringAndEC, xdr_u_int, xdr_rpc_StringAndEC>;
using SetHostname = Procedure<1025, rpc_Hostname, int, xdr_rpc_Hostname, xdr_int>;
using SetDate = Procedure<1028, char *, int, xdrText, xdr_int>;
using ResetToDefaultSettings = Procedure<1029, u_short, int, xdr_u_short, xdr_int>;
using GetPBMString = Procedure<1050, u_int, rpc_StringAndEC, xdr_u_int, xdr_rpc_StringAndEC>;
using SetPBMString = Procedure<1051, rpc_PBMstring, int, xdr_rpc_PBMstring, xdr_int>;
using GetSensorInfo = Procedure<1500, char *, rpc_SensorInfo, xdrText, xdr_rpc_SensorInfo>;
using GetSensorList = Procedure<1501, rpc_SensorList, rpc_SensorListReturn, xdr_rpc_SensorList,
                                xdr_rpc_SensorListReturn>;
using SysGetSensorValuesXML =
    Procedure<2002, void, rpc_StringAndEC, xdrNothing, xdr_rpc_StringAndEC>;
using SysGetSensorValuesASCII =
    Procedure<2003, void, rpc_StringAndEC, xdrNothing, xdr_rpc_StringAndEC>;
using SysGetSensorValuesForComponentXML =
    Procedure<2004, char *, rpc_StringAndEC, xdrText, xdr_rpc_StringAndEC>;
using SysGetSensorValuesForComponentASCII =
    Procedure<2005, char *, rpc_StringAndEC, xdrText, xdr_rpc_StringAndEC>;
using SysGetSensorValue = Procedure<2006, char *, rpc_FloatAndEC, xdrText, xdr_rpc_FloatAndEC>;
using SysSetSensorValue =
    Procedure<2007, rpc_SysSetSensorInfo, int, xdr_rpc_SysSetSensorInfo, xdr_int>;
using SysGetComponentStatus = Procedure<2008, char *, int, xdrText, xdr_int>;
using SysGetComponentStatusAll =
    Procedure<2009, void, rpc_StringAndEC, xdrNothing, xdr_rpc_StringAndEC>;
using SysGetESValuesForComponentXML =
    Procedure<2010, char *, rpc_StringAndEC, xdrText, xdr_rpc_StringAndEC>;
using SysGetConsoleConfig =
    Procedure<2011, void, rpc_ConsoleConfig, xdrNothing, xdr_rpc_ConsoleConfig>;
using SysSetConsoleConfig = Procedure<2012, rpc_ConsoleConfig, int, xdr_rpc_ConsoleConfig, xdr_int>;
using SysGetPresenceDetectAll =
    Procedure<2013, void, rpc_StringAndEC, xdrNothing, xdr_rpc_StringAndEC>;
using SysGetPresenceDetect = Procedure<2014, char *, int, xdrText, xdr_int>;
using SysSetCPUConfiguration = Procedure<2015, rpc_CPUConfig, int, xdr_rpc_CPUConfig, xdr_int>;
using SysSetSensorThresholds =
    Procedure<2016, rpc_SysSetSensorThresh, int, xdr_rpc_SysSetSensorThresh, xdr_int>;
using SysGetSensorThresholds =
    Procedure<2017, char *, rpc_SysGetSensorThresh, xdrText, xdr_rpc_SysGetSensorThresh>;
using SysGetVRMGoodness =
    Procedure<2019, int, rpc_SysGetVRMGoodness, xdr_int, xdr_rpc_SysGetVRMGoodness>;
using RegisterPID = Procedure<3002, rpc_ProcessInfo, int, xdr_rpc_ProcessInfo, xdr_int>;
using Notify = Procedure<3003, int, int, xdr_int, xdr_int>;
using InternalState = Procedure<4000, void, char *, xdrNothing, xdrText>;
using SetDbgLevel = Procedure<4001, int, int, xdr_int, xdr_int>;
using GetFanState = Procedure<4002, void, rpc_FanDebugState, xdrNothing, xdr_rpc_FanDebugState>;

}  // namespace qel::proc
