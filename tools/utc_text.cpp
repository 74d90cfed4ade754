// SPDX-License-Identifier: Apache-2.0
#include "tools/utc_text.hpp"

namespace qel::tools {

std::string utcText(std::time_t seconds, const char *format) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, format, &utc));
}

}  // namespace qel::tools
