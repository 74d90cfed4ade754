// SPDX-License-Identifier: Apache-2.0
// A request body sent to qel-redfishd, read as a PATCH of the service reads it: parsed (or
// refused with a Base message and a 4xx status), then held against the writable properties of
// the resource the first byte chooses. Every property the plan takes is one the resource lets a
// client write, every problem is a Base message about the property (its arguments cut to 128
// bytes), and the error body of the problems renders.
#include <cstdlib>
#include <string>
#include <vector>

#include "redfish/http/routes.hpp"

using namespace qel::redfish;

namespace {

// A message of the Base registry whose arguments (a client's text among them) are cut short.
bool baseMessage(const Json &message) {
  if (!message.is_object() || !message.value("MessageId", "").starts_with("Base.1.22.1.") ||
      !message.contains("MessageArgs") || message.value("Message", "").empty()) {
    return false;
  }
  for (const Json &arg : message["MessageArgs"]) {
    if (!arg.is_string() || arg.get<std::string>().size() > 128) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::vector<const PatchRule *> kRules = [] {
    std::vector<const PatchRule *> rules;
    for (const Route &route : routes()) {
      if (route.patch != nullptr) rules.push_back(route.patch);
    }
    return rules;
  }();
  if (size == 0) return 0;
  const PatchRule &rule = *kRules[data[0] % kRules.size()];
  const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
  static const std::string kJson = "application/json";
  Json body;
  try {
    body = parseBody(text, &kJson);
  } catch (const Failure &failure) {
    if (failure.status != 400 || failure.messages.size() != 1 ||
        !baseMessage(failure.messages[0])) {
      std::abort();
    }
    return 0;
  }
  if (!body.is_object()) std::abort();
  const Json current = {{"Id", "x"}, {"Status", {{"State", "Enabled"}}}};
  const PatchPlan plan = planPatch(body, current, rule.writable);
  for (const auto &[pointer, value] : plan.accepted) {
    bool writable = false;
    for (const Writable &w : rule.writable) writable = writable || w.pointer == pointer;
    if (!writable) std::abort();
  }
  for (const Json &problem : plan.problems) {
    if (!baseMessage(problem) || !problem.contains("RelatedProperties")) std::abort();
  }
  if (!plan.problems.empty() && render(errorBody(plan.problems)).empty()) std::abort();
  return 0;
}
