// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/log.hpp"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace qel::simd {

namespace {

int currentLevel = kLogInfo;
constexpr const char *kLevelNames[] = {"error", "warning", "info", "debug", "trace"};

}  // namespace

void setLogLevel(int level) { currentLevel = level; }
int logLevel() { return currentLevel; }

void logf(int level, const char *format, ...) {
  if (level > currentLevel) return;
  char stamp[32];
  const time_t now = time(nullptr);
  tm fields{};
  localtime_r(&now, &fields);
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &fields);
  char message[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::fprintf(stderr, "%s qel-simd[%d] %s: %s\n", stamp, static_cast<int>(getpid()),
               kLevelNames[level], message);
  std::fflush(stderr);
}

}  // namespace qel::simd
