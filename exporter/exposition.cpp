// SPDX-License-Identifier: Apache-2.0
#include "exporter/exposition.hpp"

#include <charconv>
#include <cmath>

namespace qel::exporter {
namespace {

constexpr std::string_view kInfoSuffix = "_info", kCounterSuffix = "_total";

// Label values escape backslash, double quote and newline in both formats; help texts escape
// the double quote only in OpenMetrics.
void appendEscaped(std::string &out, std::string_view text, bool quote) {
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' && quote) {
      out += "\\\"";
    } else {
      out += c;
    }
  }
}

// OpenMetrics names info and counter families without the suffix their samples carry.
std::string_view familyName(const Family &family, Format format) {
  std::string_view name = family.name;
  const std::string_view suffix = family.type == MetricType::kInfo      ? kInfoSuffix
                                  : family.type == MetricType::kCounter ? kCounterSuffix
                                                                        : std::string_view();
  if (format == Format::kOpenMetrics && !suffix.empty() && name.ends_with(suffix)) {
    name.remove_suffix(suffix.size());
  }
  return name;
}

const char *typeName(MetricType type, Format format) {
  switch (type) {
    case MetricType::kCounter:
      return "counter";
    case MetricType::kInfo:
      return format == Format::kOpenMetrics ? "info" : "gauge";
    case MetricType::kStateSet:
      return format == Format::kOpenMetrics ? "stateset" : "gauge";
    default:
      return "gauge";
  }
}

void writeSample(const std::string &name, const Sample &sample, std::string &out) {
  out += name;
  if (!sample.labels.empty()) {
    out += '{';
    for (std::size_t i = 0; i < sample.labels.size(); ++i) {
      if (i > 0) out += ',';
      out += sample.labels[i].first;
      out += "=\"";
      appendEscaped(out, sample.labels[i].second, true);
      out += '"';
    }
    out += '}';
  }
  out += ' ';
  out += valueText(sample.value);
  out += '\n';
}

}  // namespace

const char *contentType(Format format) {
  return format == Format::kOpenMetrics ? "application/openmetrics-text; version=1.0.0; "
                                          "charset=utf-8"
                                        : "text/plain; version=0.0.4; charset=utf-8";
}

std::string valueText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char text[32];
  const auto end = std::abs(value) < 1e15 && value == std::trunc(value)
                       ? std::to_chars(text, text + sizeof text, static_cast<long long>(value))
                       : std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

void writeMetrics(const MetricSet &metrics, Format format, std::string &out) {
  for (const FamilySamples &family : metrics.families()) {
    const std::string_view name = familyName(family.family, format);
    out += "# HELP ";
    out += name;
    out += ' ';
    appendEscaped(out, family.family.help, format == Format::kOpenMetrics);
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += typeName(family.family.type, format);
    out += '\n';
    for (const Sample &sample : family.samples) writeSample(family.family.name, sample, out);
  }
  if (format == Format::kOpenMetrics) out += "# EOF\n";
}

}  // namespace qel::exporter
