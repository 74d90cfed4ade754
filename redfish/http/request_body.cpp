// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/request_body.hpp"

#include <algorithm>
#include <cctype>
#include <set>

#include "redfish/base_messages.hpp"

namespace qel::redfish {
namespace {

bool isJsonMediaType(std::string_view type) {
  type = type.substr(0, type.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  std::string lower(type);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return lower == "application/json";
}

// How deep the body's arrays and objects nest, counted without parsing.
int depthOf(std::string_view body) {
  int depth = 0, deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

bool fits(ValueKind kind, const Json &value) {
  auto all = [&](auto test) {
    return value.is_array() && std::all_of(value.begin(), value.end(), test);
  };
  switch (kind) {
    case ValueKind::kBoolean:
      return value.is_boolean();
    case ValueKind::kInteger:
      return value.is_number_integer();
    case ValueKind::kNumberOrNull:
      return value.is_number() || value.is_null();
    case ValueKind::kString:
      return value.is_string();
    case ValueKind::kStringList:
      return all([](const Json &item) { return item.is_string(); });
    case ValueKind::kObjectList:
      return all([](const Json &item) { return item.is_object(); });
  }
  return false;
}

std::string valueText(const Json &value) {
  return value.is_string() ? value.get<std::string>() : render(value);
}

std::string escaped(const std::string &key) {
  std::string result;
  for (char c : key) result += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
  return result;
}

Json about(Json message, std::string_view pointer) {
  message["RelatedProperties"] = Json::array({"#" + std::string(pointer)});
  return message;
}

void walk(const Json &object, const std::string &prefix, const Json *current,
          std::span<const Writable> writable, PatchPlan &plan) {
  for (const auto &[key, value] : object.items()) {
    if (key.starts_with("@odata.")) continue;  // annotations a client sends back as it got them
    const std::string pointer = prefix + "/" + escaped(key);
    const std::string name = propertyName(pointer);
    const Json *now =
        current && current->is_object() && current->contains(key) ? &(*current)[key] : nullptr;
    const auto exact = std::find_if(writable.begin(), writable.end(),
                                    [&](const Writable &w) { return w.pointer == pointer; });
    const bool container = std::any_of(writable.begin(), writable.end(), [&](const Writable &w) {
      return w.pointer.starts_with(pointer + "/");
    });
    if (exact != writable.end() && fits(exact->kind, value)) {
      plan.accepted.emplace_back(pointer, value);
    } else if (exact != writable.end() || (container && !value.is_object())) {
      plan.problems.push_back(about(base::propertyValueTypeError(valueText(value), name), pointer));
    } else if (container) {
      walk(value, pointer, now, writable, plan);
    } else {
      plan.problems.push_back(
          about(now ? base::propertyNotWritable(name) : base::propertyUnknown(name), pointer));
    }
  }
}

}  // namespace

Json parseBody(std::string_view body, const std::string *contentType) {
  if (contentType != nullptr && !isJsonMediaType(*contentType)) {
    throw Failure{415, base::headerInvalid("Content-Type")};
  }
  if (depthOf(body) > kDeepestBody) throw Failure{400, base::unrecognizedRequestBody()};
  // Each object's keys, to find a property named twice (the parser keeps only the last).
  std::vector<std::set<std::string>> keys;
  std::string twice;
  const Json::parser_callback_t seeKeys = [&](int, Json::parse_event_t event, Json &parsed) {
    if (event == Json::parse_event_t::object_start) keys.emplace_back();
    if (event == Json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
    if (event == Json::parse_event_t::key && !keys.empty() &&
        !keys.back().insert(parsed.get<std::string>()).second && twice.empty()) {
      twice = parsed.get<std::string>();
    }
    return true;
  };
  Json parsed;
  try {
    parsed = Json::parse(body, seeKeys);
  } catch (const Json::exception &) {
    throw Failure{400, base::malformedJSON()};
  }
  if (!twice.empty()) throw Failure{400, base::propertyDuplicate(twice)};
  if (!parsed.is_object()) throw Failure{400, base::unrecognizedRequestBody()};
  return parsed;
}

const Json *PatchPlan::value(std::string_view pointer) const {
  for (const auto &[at, value] : accepted) {
    if (at == pointer) return &value;
  }
  return nullptr;
}

void PatchPlan::refuse(std::string_view pointer, Json message) {
  problems.push_back(about(std::move(message), pointer));
}

std::string propertyName(std::string_view pointer) {
  return std::string(pointer.substr(pointer.starts_with('/') ? 1 : 0));
}

PatchPlan planPatch(const Json &body, const Json &current, std::span<const Writable> writable) {
  PatchPlan plan;
  walk(body, "", &current, writable, plan);
  return plan;
}

void checkFields(const Json &body, std::span<const Field> fields, std::string_view action) {
  std::vector<Json> problems;
  const bool forAction = !action.empty();
  for (const Field &field : fields) {
    const auto found = body.find(field.name);
    if (found == body.end()) {
      if (field.required) {
        problems.push_back(forAction ? base::actionParameterMissing(action, field.name)
                                     : base::createFailedMissingReqProperties(field.name));
      }
    } else if (!fits(field.kind, *found)) {
      const std::string text = valueText(*found);
      problems.push_back(forAction ? base::actionParameterValueTypeError(text, field.name, action)
                                   : base::propertyValueTypeError(text, field.name));
    }
  }
  for (const auto &item : body.items()) {
    const std::string &key = item.key();
    const bool known =
        std::any_of(fields.begin(), fields.end(), [&](const Field &f) { return f.name == key; });
    if (known || key.starts_with("@odata.")) continue;
    problems.push_back(forAction ? base::actionParameterUnknown(action, key)
                                 : base::propertyUnknown(key));
  }
  if (!problems.empty()) throw Failure{400, std::move(problems)};
}

std::string chosenValue(const Json &body, std::string_view action, std::string_view name,
                        std::span<const std::string_view> allowed) {
  const std::string value = body.at(std::string(name)).get<std::string>();
  if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
    throw Failure{400, base::actionParameterValueNotInList(value, name, action)};
  }
  return value;
}

}  // namespace qel::redfish
