// SPDX-License-Identifier: Apache-2.0
// Messages and error bodies. Every message comes from the Base registry through the functions
// of redfish/base_messages.hpp (generated from the registry); a failed request is a Failure,
// thrown by whatever finds it and answered in one place (redfish/http/service.cpp).
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qel::redfish {

using Json = nlohmann::ordered_json;

// A message as "@Message.ExtendedInfo" holds it: the registry's text with `args` in place of
// %1, %2, ... (each cut to 128 bytes, since they may echo what a client sent).
Json registryMessage(std::string_view id, std::string_view text, std::string_view severity,
                     std::string_view resolution, std::initializer_list<std::string_view> args);

// A request that fails: its status and the messages of its error body.
struct Failure {
  int status;
  std::vector<Json> messages;
  Failure(int code, Json message) : status(code), messages{std::move(message)} {}
  Failure(int code, std::vector<Json> all) : status(code), messages(std::move(all)) {}
};

// {"error": {"code", "message", "@Message.ExtendedInfo"}}: the first message's id and text as
// code and message, every message in the list.
Json errorBody(const std::vector<Json> &messages);

// The text of a payload. Invalid UTF-8 (only a path can bring it) is replaced, never thrown.
std::string render(const Json &payload);

}  // namespace qel::redfish
