// SPDX-License-Identifier: Apache-2.0
// Choosing the exposition format from a scraper's Accept header, by its quality values.
#include <algorithm>
#include <cctype>
#include <optional>

#include "exporter/exposition.hpp"

namespace qel::exporter {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// A quality value: "0" to "1" with up to three decimals, in thousandths.
std::optional<int> quality(std::string_view text) {
  if (text.empty() || text.size() > 5 || (text[0] != '0' && text[0] != '1')) return std::nullopt;
  int value = (text[0] - '0') * 1000;
  if (text.size() == 1) return value;
  if (text[1] != '.') return std::nullopt;
  int scale = 100;
  for (char c : text.substr(2)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value += (c - '0') * scale;
    scale /= 10;
  }
  return value <= 1000 ? std::optional<int>(value) : std::nullopt;
}

// One media range of the header: its type and its quality (nothing when malformed), and the
// version it names ("" for none).
struct Range {
  std::string_view type, version;
  int quality = 1000;
};

std::optional<Range> rangeOf(std::string_view text) {
  Range range;
  std::size_t semicolon = text.find(';');
  range.type = trimmed(text.substr(0, semicolon));
  while (semicolon != std::string_view::npos) {
    text.remove_prefix(semicolon + 1);
    semicolon = text.find(';');
    const std::string_view parameter = text.substr(0, semicolon);
    const std::size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = trimmed(parameter.substr(0, equals));
    const std::string_view value = trimmed(parameter.substr(equals + 1));
    if (sameText(name, "q")) {
      const auto q = quality(value);
      if (!q) return std::nullopt;
      range.quality = *q;
    } else if (sameText(name, "version")) {
      range.version = value;
    }
  }
  return range;
}

}  // namespace

Format formatFor(std::string_view accept) {
  int openMetrics = 0, text = 0;
  for (std::size_t start = 0; start <= accept.size();) {
    std::size_t comma = accept.find(',', start);
    if (comma == std::string_view::npos) comma = accept.size();
    const auto range = rangeOf(accept.substr(start, comma - start));
    start = comma + 1;
    if (!range) continue;
    const std::string_view version = range->version;
    if (sameText(range->type, "application/openmetrics-text") &&
        (version.empty() || version == "1.0.0" || version == "0.0.1")) {
      openMetrics = std::max(openMetrics, range->quality);
    } else if ((sameText(range->type, "text/plain") && (version.empty() || version == "0.0.4")) ||
               sameText(range->type, "text/*") || range->type == "*/*") {
      text = std::max(text, range->quality);
    }
  }
  return openMetrics > 0 && openMetrics >= text ? Format::kOpenMetrics : Format::kText;
}

}  // namespace qel::exporter
