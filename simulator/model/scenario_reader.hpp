// SPDX-License-Identifier: Apache-2.0
// A walk over a JSON document that knows where it is, so that every complaint about a scenario
// names the file, the field and what is wrong with it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::simd {

class JsonNode {
 public:
  JsonNode(const nlohmann::json &value, std::string path, const std::string &origin)
      : value_(value), path_(std::move(path)), origin_(origin) {}

  [[noreturn]] void fail(std::string_view problem) const;

  // Rejects fields other than `known`: a misspelt field would otherwise be silently ignored.
  void allowOnly(std::initializer_list<std::string_view> known) const;
  JsonNode required(std::string_view key) const;
  std::optional<JsonNode> optional(std::string_view key) const;
  std::vector<JsonNode> items(std::size_t maximum) const;

  bool isNull() const { return value_.is_null(); }
  bool isNumber() const { return value_.is_number(); }
  const nlohmann::json &json() const { return value_; }
  std::string text() const;
  bool flag() const;
  double number() const;
  int64_t integer(int64_t minimum, int64_t maximum) const;
  uint32_t address() const;

  // Keyed members of an object, in the document's order.
  std::vector<std::pair<std::string, JsonNode>> members() const;

  // Sets `out` from the field `key` when it is present.
  void read(std::string_view key, std::string &out) const;
  void read(std::string_view key, bool &out) const;
  void read(std::string_view key, float &out) const;
  void read(std::string_view key, double &out) const;
  template <typename Int>
  void read(std::string_view key, Int &out, int64_t minimum, int64_t maximum) const {
    if (auto node = optional(key)) out = static_cast<Int>(node->integer(minimum, maximum));
  }
  // A present address, or null for none.
  void read(std::string_view key, std::optional<uint32_t> &out) const;

 private:
  const nlohmann::json &value_;
  std::string path_;
  const std::string &origin_;
};

}  // namespace qel::simd
