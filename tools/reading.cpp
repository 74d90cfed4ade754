// SPDX-License-Identifier: Apache-2.0
#include "tools/reading.hpp"

#include <charconv>

namespace qel::tools {

double decimalValue(float value) {
  char text[32];
  const char *end = std::to_chars(text, text + sizeof text, value).ptr;
  double result = 0;
  std::from_chars(text, end, result);
  return result;
}

}  // namespace qel::tools
