// SPDX-License-Identifier: Apache-2.0
// The exporter's log: one logfmt line per event on standard error, which the service manager
// keeps, each starting with its time (ts=, RFC 3339 in UTC) and level. A scrape that goes well
// writes nothing above debug; a failed collection writes one warning line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::exporter {

enum class LogLevel { kError, kWarn, kInfo, kDebug };

std::optional<LogLevel> logLevelNamed(std::string_view name);
void setLogLevel(LogLevel level);
bool logs(LogLevel level);
// `fields` is the rest of the line in logfmt ("target=sp1 collector=fan"); msg is quoted.
void logLine(LogLevel level, const std::string &fields, std::string_view message);

}  // namespace qel::exporter
