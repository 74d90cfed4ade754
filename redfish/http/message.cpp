// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/message.hpp"

#include "redfish/base_messages.hpp"

namespace qel::redfish {
namespace {

constexpr std::size_t kLongestArgument = 128;

}  // namespace

Json registryMessage(std::string_view id, std::string_view text, std::string_view severity,
                     std::string_view resolution, std::initializer_list<std::string_view> args) {
  Json arguments = Json::array();
  for (std::string_view arg : args) arguments.push_back(arg.substr(0, kLongestArgument));
  std::string filled;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t n = i + 1 < text.size() ? static_cast<std::size_t>(text[i + 1] - '0') : 0;
    if (text[i] == '%' && n >= 1 && n <= arguments.size()) {
      filled += arguments[n - 1].get<std::string>();
      ++i;
    } else {
      filled += text[i];
    }
  }
  Json message{{"@odata.type", "#Message.v1_3_0.Message"},
               {"MessageId", id},
               {"Message", filled},
               {"MessageArgs", arguments},
               {"MessageSeverity", severity}};
  if (!resolution.empty()) message["Resolution"] = resolution;
  return message;
}

Json errorBody(const std::vector<Json> &messages) {
  if (messages.empty()) return errorBody({base::generalError()});
  return Json{{"error",
               {{"code", messages.front()["MessageId"]},
                {"message", messages.front()["Message"]},
                {"@Message.ExtendedInfo", messages}}}};
}

std::string render(const Json &payload) {
  return payload.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qel::redfish
