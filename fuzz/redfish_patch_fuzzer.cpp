// SPDX-License-Identifier: Apache-2.0
// A request body sent to qel-redfishd, read as every PATCH of the service reads it: parsed (or
// refused with a Base message and a 4xx status), then held against each resource's writable
// properties. Every property the plan takes is one the resource lets a client write, every
// problem is a Base message about the property (its arguments cut to 128 bytes), and the error
// body of the problems renders.
#include <cstdlib>
#include <string>

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
  const std::string text(reinterpret_cast<const char *>(data), size);
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
  for (const Route &route : routes()) {
    if (route.patch == nullptr) continue;
    const PatchPlan plan = planPatch(body, current, route.patch->writable);
    for (const auto &[pointer, value] : plan.accepted) {
      bool writable = false;
      for (const Writable &w : route.patch->writable) writable = writable || w.pointer == pointer;
      if (!writable) std::abort();
    }
    for (const Json &problem : plan.problems) {
      if (!baseMessage(problem) || !problem.contains("RelatedProperties")) std::abort();
    }
    if (!plan.problems.empty() && render(errorBody(plan.problems)).empty()) std::abort();
  }
  return 0;
}
