// SPDX-License-Identifier: Apache-2.0
#include "exporter/log.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace qel::exporter {
namespace {

constexpr std::array<std::string_view, 4> kLevelNames{"error", "warn", "info", "debug"};
std::atomic<LogLevel> threshold{LogLevel::kInfo};

// Now in RFC 3339, UTC, to the millisecond: "2026-03-01T12:00:00.250Z".
std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
  return text;
}

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
  std::string line =
      "ts=" + timestamp() + " level=" + std::string(kLevelNames[static_cast<std::size_t>(level)]);
  if (!fields.empty()) line += ' ' + fields;
  line += " msg=\"";
  for (char c : message) line += c == '"' ? '\'' : c;
  line += "\"\n";
  // One write per line, so that lines of several threads never interleave.
  std::fputs(line.c_str(), stderr);
}

}  // namespace qel::exporter
