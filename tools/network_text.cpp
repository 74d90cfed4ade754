// SPDX-License-Identifier: Apache-2.0
#include "tools/network_text.hpp"

#include <cctype>
#include <cstdio>

namespace qel::tools {

bool isContiguousNetmask(uint32_t netmask) {
  const uint32_t inverted = ~netmask;
  return (inverted & (inverted + 1)) == 0;
}

bool isValidHostname(std::string_view name) {
  if (name.empty() || name.size() > 253) return false;
  std::size_t labelLength = 0;
  char previous = '.';
  for (char c : name) {
    if (c == '.') {
      if (labelLength == 0 || previous == '-') return false;
      labelLength = 0;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || (c == '-' && labelLength > 0)) {
      if (++labelLength > 63) return false;
    } else {
      return false;
    }
    previous = c;
  }
  return labelLength > 0 && previous != '-';
}

std::string hardwareAddressText(const unsigned char *address) {
  if (address == nullptr) return {};
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

}  // namespace qel::tools
