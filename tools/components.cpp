// SPDX-License-Identifier: Apache-2.0
#include "tools/components.hpp"

namespace qel::tools {

std::vector<std::string> componentNames(std::string_view report) {
  std::vector<std::string> names;
  while (!report.empty()) {
    const std::size_t end = report.find('\n');
    const std::string_view line = report.substr(0, end);
    report = end == std::string_view::npos ? std::string_view() : report.substr(end + 1);
    const std::size_t colon = line.rfind(": ");
    if (colon != std::string_view::npos && colon != 0) names.emplace_back(line.substr(0, colon));
  }
  return names;
}

}  // namespace qel::tools
