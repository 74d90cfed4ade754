// SPDX-License-Identifier: Apache-2.0
#include "tools/http/request_target.hpp"

#include "tools/http/syntax.hpp"

namespace qel::http {
namespace {

bool percentDecode(std::string_view text, bool plusIsSpace, std::string &out) {
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return false;
      const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      c = ' ';
    }
    if (c == '\0') return false;
    out += c;
  }
  return true;
}

}  // namespace

bool splitTarget(std::string_view target, std::string &path, Parameters &parameters) {
  if (target.empty() || target.front() != '/') return false;
  for (const char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte >= 0x7F || c == '#') return false;
  }
  const auto question = target.find('?');
  if (!percentDecode(target.substr(0, question), false, path)) return false;
  parameters.clear();
  if (question == std::string_view::npos) return true;
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    if (!pair.empty()) {
      const auto equals = pair.find('=');
      std::string name, value;
      if (!percentDecode(pair.substr(0, equals), true, name)) return false;
      if (equals != std::string_view::npos &&
          !percentDecode(pair.substr(equals + 1), true, value)) {
        return false;
      }
      parameters.emplace_back(std::move(name), std::move(value));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return true;
}

}  // namespace qel::http
