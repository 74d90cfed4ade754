// SPDX-License-Identifier: Apache-2.0
// A tool's log: one logfmt line per event on standard error, which the service manager keeps,
// each starting with its time (ts=, RFC 3339 in UTC, to the millisecond) and level:
//   ts=2026-03-01T12:00:03.202Z level=warn target=sp7 collector=sensors msg="cannot connect"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::tools {

enum class LogLevel { kError, kWarn, kInfo, kDebug };

std::optional<LogLevel> logLevelNamed(std::string_view name);
void setLogLevel(LogLevel level);
bool logs(LogLevel level);
// `fields` is the rest of the line in logfmt ("target=sp1 collector=fan"); msg is quoted.
void logLine(LogLevel level, const std::string &fields, std::string_view message);
// A field's value as logfmt quotes it, whatever a client put in it: "\"text\"".
std::string logValue(std::string_view text);

}  // namespace qel::tools
