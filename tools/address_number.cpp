// SPDX-License-Identifier: Apache-2.0
#include "tools/address_number.hpp"

#include <qel.h>

#include <charconv>
#include <cstdint>

namespace qel::tools {

std::optional<unsigned> addressNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '0') {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  const char *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<unsigned> dottedQuad(const std::string &text) {
  unsigned value = 0;
  if (qelStringToIPAddress(text.c_str(), &value) != RESULT_OK) return std::nullopt;
  return value;
}

}  // namespace qel::tools
