// SPDX-License-Identifier: Apache-2.0
// The answers of the management procedures that need more than one call on the simulated SP:
// wire requests turned into its settings, and its state turned into wire replies.
#pragma once

#include <string>
#include <utility>

#include "simulator/model/codes.hpp"
#include "simulator/model/sp_state.hpp"
#include "simulator/rpc/reply_records.hpp"

namespace qel::simd {

// A code-and-text reply carrying `body` with code 0.
inline TextHolder text(std::string body) { return {kOk, std::move(body), {}}; }

// A code-and-text reply whose code and text `fill(text)` gives.
template <typename Fill>
TextHolder textFrom(Fill fill) {
  TextHolder reply;
  reply.code = fill(reply.text);
  return reply;
}

InterfaceReply interfaceReply(const SpState &state, const rpc_Interface &which);
int setInterface(SpState &state, const rpc_IPState &request);
DnsReply dnsReply(const SpState &state, unsigned selector);
int setDns(SpState &state, const rpc_DNSState &request);
rpc_FloatAndEC sensorValue(const SpState &state, const char *id);
ThresholdSet fromWire(const rpc_SysSensorThresholds &wire);
rpc_SysGetSensorThresh thresholdsReply(const SpState &state, const char *id);
GoodnessReply goodnessReply(const SpState &state, int selector);
SensorInfoReply sensorInfo(const SpState &state, const char *id);
SensorListReply sensorList(const SpState &state, const rpc_SensorList &request);
rpc_FanDebugState fanReply(const SpState &state);
rpc_ConsoleConfig consoleReply(const SpState &state);
int setConsole(SpState &state, const rpc_ConsoleConfig &request);
// Sets the server's own log level, 0 to kMaxLogLevel.
int setDebugLevel(int level);

}  // namespace qel::simd
