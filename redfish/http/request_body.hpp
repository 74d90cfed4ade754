// SPDX-License-Identifier: Apache-2.0
// What a request body may hold, checked before anything is changed. A PATCH body is held
// against the resource as it stands and the properties the resource lets a client write:
// each property is taken, or named in a message (unknown, read-only, of the wrong type), so
// that the good ones can be applied and the bad ones answered. Create and action bodies are
// read against the fields they take.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "redfish/http/message.hpp"

namespace qel::redfish {

// Bodies nest no deeper than this; anything deeper is refused before it is parsed.
inline constexpr int kDeepestBody = 16;

// The JSON object of a request body. Throws 400 for a body that is not one JSON object
// (MalformedJSON, UnrecognizedRequestBody), nests too deep, or names a property twice
// (PropertyDuplicate); 415 for a Content-Type other than application/json.
Json parseBody(std::string_view body, const std::string *contentType);

enum class ValueKind { kBoolean, kInteger, kNumberOrNull, kString, kStringList, kObjectList };

// A property a client may write, by its JSON pointer ("/Thresholds/UpperCritical/Reading").
struct Writable {
  std::string_view pointer;
  ValueKind kind;
};

struct PatchPlan {
  std::vector<std::pair<std::string, Json>> accepted;  // pointer and value, in body order
  std::vector<Json> problems;                          // messages for what was not taken
  int applied = 0;                                     // accepted values that took effect

  const Json *value(std::string_view pointer) const;
  // `pointer`'s accepted value was refused when applied: `message` says why.
  void refuse(std::string_view pointer, Json message);
};

// Property names in messages: the pointer without its first slash.
std::string propertyName(std::string_view pointer);

PatchPlan planPatch(const Json &body, const Json &current, std::span<const Writable> writable);

// A field of a create or action body.
struct Field {
  std::string_view name;
  ValueKind kind;
  bool required;
};
// Checks `body` against `fields`: throws 400 with every problem (missing, unknown, wrong type)
// named. With `action` the messages are the action-parameter ones.
void checkFields(const Json &body, std::span<const Field> fields, std::string_view action = "");
// The string value of action parameter `name` (checked by checkFields), which must be one of
// `allowed` (400 ActionParameterValueNotInList otherwise).
std::string chosenValue(const Json &body, std::string_view action, std::string_view name,
                        std::span<const std::string_view> allowed);

}  // namespace qel::redfish
