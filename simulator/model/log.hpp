// SPDX-License-Identifier: Apache-2.0
// The server's own log on stderr, filtered by a level that the debug-level procedure changes.
#pragma once

namespace qel::simd {

enum LogLevel : int { kLogError = 0, kLogWarning = 1, kLogInfo = 2, kLogDebug = 3, kLogTrace = 4 };
inline constexpr int kMaxLogLevel = kLogTrace;

void setLogLevel(int level);
int logLevel();

void logf(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace qel::simd
