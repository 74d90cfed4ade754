// SPDX-License-Identifier: Apache-2.0
#include "tools/network_text.hpp"

#include <cctype>

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

}  // namespace qel::tools
