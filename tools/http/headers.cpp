// SPDX-License-Identifier: Apache-2.0
// Header fields, and the credentials of a Basic "Authorization" field.
#include <algorithm>

#include "tools/http/server.hpp"
#include "tools/http/syntax.hpp"

namespace qel::http {
namespace {

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// `text` decoded from base64 (padding optional, nothing else around it), or nothing.
std::optional<std::string> base64Decode(std::string_view text) {
  while (!text.empty() && text.back() == '=' && text.size() % 4 != 1) text.remove_suffix(1);
  if (text.size() % 4 == 1) return std::nullopt;
  std::string out;
  unsigned bits = 0, pending = 0;
  for (const char c : text) {
    const int value = base64Value(c);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<unsigned>(value);
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      out += static_cast<char>((bits >> pending) & 0xFF);
    }
  }
  return out;
}

}  // namespace

const std::string *Headers::find(std::string_view name) const {
  for (const auto &[fieldName, value] : fields_) {
    if (equalsIgnoringCase(fieldName, name)) return &value;
  }
  return nullptr;
}

void Headers::set(std::string name, std::string value) {
  remove(name);
  add(std::move(name), std::move(value));
}

void Headers::add(std::string name, std::string value) {
  fields_.emplace_back(std::move(name), std::move(value));
}

void Headers::remove(std::string_view name) {
  std::erase_if(fields_, [&](const auto &field) { return equalsIgnoringCase(field.first, name); });
}

std::size_t Headers::count(std::string_view name) const {
  return static_cast<std::size_t>(
      std::count_if(fields_.begin(), fields_.end(),
                    [&](const auto &field) { return equalsIgnoringCase(field.first, name); }));
}

std::optional<std::pair<std::string, std::string>> basicCredentials(const Request &request) {
  if (request.headers.count("Authorization") != 1) return std::nullopt;
  const std::string_view field = trimmed(*request.headers.find("Authorization"));
  const auto space = field.find(' ');
  if (space == std::string_view::npos || !equalsIgnoringCase(field.substr(0, space), "basic")) {
    return std::nullopt;
  }
  const auto decoded = base64Decode(trimmed(field.substr(space + 1)));
  if (!decoded) return std::nullopt;
  const auto colon = decoded->find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(decoded->substr(0, colon), decoded->substr(colon + 1));
}

}  // namespace qel::http
