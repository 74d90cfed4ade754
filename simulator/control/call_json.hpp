// SPDX-License-Identifier: Apache-2.0
// A call as the request trace shows it: the decoded argument as JSON, the key a fault may be
// narrowed by, and the answer sent.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>

#include "qel.h"

namespace qel::simd {

// A procedure without an argument decodes into a char that means nothing.
nlohmann::json argumentJson(char nothing);
nlohmann::json argumentJson(int value);
nlohmann::json argumentJson(unsigned value);
nlohmann::json argumentJson(unsigned short value);
nlohmann::json argumentJson(const char *text);
nlohmann::json argumentJson(const rpc_PlatformSetAction &a);
nlohmann::json argumentJson(const rpc_PlatformMCEvent &e);
nlohmann::json argumentJson(const rpc_PlatformDimmEvent &e);
nlohmann::json argumentJson(const rpc_Interface &i);
nlohmann::json argumentJson(const rpc_IPState &s);
nlohmann::json argumentJson(const rpc_DNSState &d);
nlohmann::json argumentJson(const rpc_Hostname &h);
nlohmann::json argumentJson(const rpc_PBMstring &p);
nlohmann::json argumentJson(const rpc_SensorList &l);
nlohmann::json argumentJson(const rpc_SysSetSensorInfo &s);
nlohmann::json argumentJson(const rpc_SysSetSensorThresh &t);
nlohmann::json argumentJson(const rpc_ConsoleConfig &c);
nlohmann::json argumentJson(const rpc_CPUConfig &c);
nlohmann::json argumentJson(const rpc_ProcessInfo &p);

// What a fault's "arg" is compared with: the text or number argument itself, or the sensor id,
// interface or selector inside a record; empty when the call has none.
std::string argumentKey(const nlohmann::json &argument);

// {"value": n} for an integer reply, {"errorCode": n} for a record, {"bytes": n} for a text.
template <typename Reply>
nlohmann::json answerJson(const Reply &reply) {
  if constexpr (std::is_same_v<Reply, int>) {
    return {{"value", reply}};
  } else if constexpr (std::is_same_v<Reply, char *>) {
    return {{"bytes", reply ? std::char_traits<char>::length(reply) : 0}};
  } else {
    return {{"errorCode", reply.errorCode}};
  }
}

}  // namespace qel::simd
