// SPDX-License-Identifier: Apache-2.0
// The tools' log line: its time in UTC whatever the zone, its level, fields and quoted message,
// and the level that holds lines back.
#include "tools/log.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>

namespace qel::tools {
namespace {

// What logLine writes to standard error.
std::string loggedLine(LogLevel level, const std::string &fields, std::string_view message) {
  std::fflush(stderr);
  std::FILE *capture = std::tmpfile();
  const int saved = dup(STDERR_FILENO);
  dup2(fileno(capture), STDERR_FILENO);
  logLine(level, fields, message);
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::rewind(capture);
  char text[512] = "";
  const std::size_t n = std::fread(text, 1, sizeof text - 1, capture);
  std::fclose(capture);
  return std::string(text, n);
}

TEST(ToolsLog, Lines) {
  struct Case {
    LogLevel threshold, level;
    std::string fields, message, expected;  // the line after its time; "" for none
  };
  const Case kCases[] = {
      {LogLevel::kInfo, LogLevel::kWarn, "target=sp1 collector=fan", "cannot connect",
       " level=warn target=sp1 collector=fan msg=\"cannot connect\"\n"},
      {LogLevel::kInfo, LogLevel::kInfo, "", "say \"hi\"", " level=info msg=\"say 'hi'\"\n"},
      {LogLevel::kError, LogLevel::kError, "", "a\tb\nc\x7f", " level=error msg=\"a?b?c?\"\n"},
      {LogLevel::kDebug, LogLevel::kDebug, "x=1", "m", " level=debug x=1 msg=\"m\"\n"},
      {LogLevel::kWarn, LogLevel::kInfo, "", "held back", ""},
      {LogLevel::kError, LogLevel::kWarn, "", "held back", ""},
  };
  // A zone far from UTC: a time written in local time would be 5.5 hours off.
  setenv("TZ", "Asia/Kolkata", 1);
  tzset();
  const std::regex stamp(R"(ts=(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)\.\d{3}Z)");
  for (const Case &c : kCases) {
    setLogLevel(c.threshold);
    const std::string line = loggedLine(c.level, c.fields, c.message);
    std::smatch match;
    if (c.expected.empty()) {
      EXPECT_EQ(line, "") << c.message;
      continue;
    }
    ASSERT_TRUE(std::regex_search(line, match, stamp) && match.position(0) == 0) << line;
    EXPECT_EQ(line.substr(match.length(0)), c.expected);
    std::tm written{};
    ASSERT_NE(strptime(match.str(1).c_str(), "%Y-%m-%dT%H:%M:%S", &written), nullptr);
    EXPECT_LE(std::abs(std::difftime(timegm(&written), std::time(nullptr))), 2.0) << line;
  }
  unsetenv("TZ");
  tzset();
  setLogLevel(LogLevel::kInfo);
}

TEST(ToolsLog, LevelNames) {
  const std::pair<const char *, std::optional<LogLevel>> kNames[] = {
      {"error", LogLevel::kError}, {"warn", LogLevel::kWarn}, {"info", LogLevel::kInfo},
      {"debug", LogLevel::kDebug}, {"warning", std::nullopt}, {"INFO", std::nullopt},
      {"", std::nullopt}};
  for (const auto &[name, level] : kNames) EXPECT_EQ(logLevelNamed(name), level) << name;
}

}  // namespace
}  // namespace qel::tools
