// SPDX-License-Identifier: Apache-2.0
// The character classes and small text rules of HTTP/1.1 messages, shared by the request parser
// and the writing of responses.
#pragma once

#include <string_view>

namespace qel::http {

// A character of a token (a method, a field name, a coding).
constexpr bool isTokenChar(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

constexpr bool isToken(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!isTokenChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A character a field value may hold: visible, space, tab and bytes from 0x80 (no CR, LF, NUL
// or other control).
constexpr bool isFieldValueChar(unsigned char c) { return c == '\t' || (c >= ' ' && c != 0x7F); }

constexpr bool isFieldValue(std::string_view text) {
  for (char c : text) {
    if (!isFieldValueChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The value of a hex digit, or -1.
constexpr int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

// `text` without the spaces and tabs at either end.
constexpr std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Calls `each` with every element of a comma-separated field value, trimmed; empty elements
// are skipped, as lists allow.
template <typename Each>
void forEachListElement(std::string_view value, Each &&each) {
  while (!value.empty()) {
    const auto comma = value.find(',');
    const std::string_view element = trimmed(value.substr(0, comma));
    if (!element.empty()) each(element);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
}

}  // namespace qel::http
