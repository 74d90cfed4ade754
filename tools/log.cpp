// SPDX-License-Identifier: Apache-2.0
#include "tools/log.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "tools/utc_text.hpp"

namespace qel::tools {
namespace {

constexpr std::array<std::string_view, 4> kLevelNames{"error", "warn", "info", "debug"};
std::atomic<LogLevel> threshold{LogLevel::kInfo};

// Now in RFC 3339, UTC, to the millisecond: "2026-03-01T12:00:00.250Z".
std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
  return utcText(seconds, "%Y-%m-%dT%H:%M:%S") + fraction;
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

std::string logValue(std::string_view text) {
  // Quotes and control characters of what a client sent never break the line.
  std::string value = "\"";
  for (char c : text) {
    value += c == '"' ? '\'' : (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
  }
  return value + '"';
}

void logLine(LogLevel level, const std::string &fields, std::string_view message) {
  if (!logs(level)) return;
  std::string line =
      "ts=" + timestamp() + " level=" + std::string(kLevelNames[static_cast<std::size_t>(level)]);
  if (!fields.empty()) line += ' ' + fields;
  line += " msg=" + logValue(message) + "\n";
  // One write per line, so that lines of several threads never interleave.
  std::fputs(line.c_str(), stderr);
}

}  // namespace qel::tools
