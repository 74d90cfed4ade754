// SPDX-License-Identifier: Apache-2.0
// Times as the tools write them: in UTC, whatever the machine's zone.
#pragma once

#include <ctime>
#include <string>

namespace qel::tools {

// The form the management server writes a date in (qelGetDate) and reads one in:
// "2026-03-01 12:00:00 GMT".
inline constexpr const char *kServerDateFormat = "%Y-%m-%d %H:%M:%S GMT";

// `seconds` since the epoch written by strftime's `format` ("%Y-%m-%dT%H:%M:%S"), in UTC.
std::string utcText(std::time_t seconds, const char *format);

}  // namespace qel::tools
