// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/scenario_reader.hpp"

#include <algorithm>
#include <cmath>

#include "simulator/model/formats.hpp"
#include "simulator/model/scenario.hpp"

namespace qel::simd {

void JsonNode::fail(std::string_view problem) const {
  throw ScenarioError(origin_ + ": " + (path_.empty() ? std::string("(top level)") : path_) + ": " +
                      std::string(problem));
}

void JsonNode::allowOnly(std::initializer_list<std::string_view> known) const {
  if (!value_.is_object()) fail("expected an object");
  for (const auto &[key, member] : value_.items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      JsonNode(member, path_.empty() ? key : path_ + "." + key, origin_).fail("unknown field");
    }
  }
}

JsonNode JsonNode::required(std::string_view key) const {
  auto node = optional(key);
  if (!node) fail("missing required field \"" + std::string(key) + "\"");
  return *node;
}

std::optional<JsonNode> JsonNode::optional(std::string_view key) const {
  if (!value_.is_object()) fail("expected an object");
  auto found = value_.find(key);
  if (found == value_.end()) return std::nullopt;
  std::string path = path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  return JsonNode(*found, std::move(path), origin_);
}

std::vector<JsonNode> JsonNode::items(std::size_t maximum) const {
  if (!value_.is_array()) fail("expected an array");
  if (value_.size() > maximum) fail("at most " + std::to_string(maximum) + " entries allowed");
  std::vector<JsonNode> result;
  for (std::size_t i = 0; i < value_.size(); ++i) {
    result.emplace_back(value_[i], path_ + "[" + std::to_string(i) + "]", origin_);
  }
  return result;
}

std::vector<std::pair<std::string, JsonNode>> JsonNode::members() const {
  if (!value_.is_object()) fail("expected an object");
  std::vector<std::pair<std::string, JsonNode>> result;
  for (const auto &[key, member] : value_.items()) {
    result.emplace_back(key, JsonNode(member, path_ + "." + key, origin_));
  }
  return result;
}

std::string JsonNode::text() const {
  if (!value_.is_string()) fail("expected a string");
  return value_.get<std::string>();
}

bool JsonNode::flag() const {
  if (!value_.is_boolean()) fail("expected true or false");
  return value_.get<bool>();
}

double JsonNode::number() const {
  if (!value_.is_number()) fail("expected a number");
  return value_.get<double>();
}

int64_t JsonNode::integer(int64_t minimum, int64_t maximum) const {
  const double value = number();
  if (std::floor(value) != value) fail("expected a whole number");
  if (value < static_cast<double>(minimum) || value > static_cast<double>(maximum)) {
    fail("must be from " + std::to_string(minimum) + " to " + std::to_string(maximum));
  }
  return static_cast<int64_t>(value);
}

uint32_t JsonNode::address() const {
  auto address = parseAddress(text());
  if (!address) fail("\"" + text() + "\" is not a dotted-quad IPv4 address");
  return *address;
}

void JsonNode::read(std::string_view key, std::string &out) const {
  if (auto node = optional(key)) out = node->text();
}

void JsonNode::read(std::string_view key, bool &out) const {
  if (auto node = optional(key)) out = node->flag();
}

void JsonNode::read(std::string_view key, float &out) const {
  if (auto node = optional(key)) out = static_cast<float>(node->number());
}

void JsonNode::read(std::string_view key, double &out) const {
  if (auto node = optional(key)) out = node->number();
}

void JsonNode::read(std::string_view key, std::optional<uint32_t> &out) const {
  if (auto node = optional(key)) {
    out = node->isNull() ? std::nullopt : std::optional<uint32_t>(node->address());
  }
}

}  // namespace qel::simd
