// SPDX-License-Identifier: Apache-2.0
#include "exporter/log.hpp"

#include <array>
#include <atomic>
#include <cstdio>

namespace qel::exporter {
namespace {

constexpr std::array<std::string_view, 4> kLevelNames{"error", "warn", "info", "debug"};
std::atomic<LogLevel> threshold{LogLevel::kInfo};

}  // namespace

std::optional<LogLevel> logLevelNamed(std::string_view name) {
  for (std::size_t i = 0; i < kLevelNames.size(); ++i) {
    if (kLevelNames[i] == name) return static_cast<LogLevel>(i);
  }
  return std::nullopt;
}

void setLogLevel(LogLevel level) { threshold.store(level); }

bool logs(LogLevel level) { return level <= threshold.load(); }

void logLine(LogLevel level, const std::string &fields, std::string_view message) {
  if (!logs(level)) return;
  std::string line = "level=" + std::string(kLevelNames[static_cast<std::size_t>(level)]);
  if (!fields.empty()) line += ' ' + fields;
  line += " msg=\"";
  for (char c : message) line += c == '"' ? '\'' : c;
  line += "\"\n";
  // One write per line, so that lines of several threads never interleave.
  std::fputs(line.c_str(), stderr);
}

}  // namespace qel::exporter
