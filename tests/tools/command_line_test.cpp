// SPDX-License-Identifier: Apache-2.0
// What the tools read of a command line: the address to listen on and the program number (from
// the option, QELPROGID or the default).
#include "tools/command_line.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qel::tools {
namespace {

TEST(ToolsCommandLine, ListenAddresses) {
  // Port -1: refused.
  const std::tuple<const char *, const char *, int> kTexts[] = {
      {":24051", "", 24051},
      {"127.0.0.1:80", "127.0.0.1", 80},
      {"[::1]:443", "::1", 443},
      {"sp.example.org:0", "sp.example.org", 0},
      {"80", "", -1},
      {"127.0.0.1:", "", -1},
      {":65536", "", -1},
      {":-1", "", -1},
      {":8o", "", -1},
      {"[::1]", "", -1}};
  for (const auto &[text, host, port] : kTexts) {
    const auto address = listenAddress(text);
    EXPECT_EQ(address ? address->host : "", host) << text;
    EXPECT_EQ(address ? address->port : -1, port) << text;
  }
}

TEST(ToolsCommandLine, ProgramNumbers) {
  const std::tuple<const char *, const char *, std::optional<unsigned long>> kCases[] = {
      {"0x40000001", nullptr, 0x40000001},
      {"1073741825", "77", 1073741825},
      {"", "77", 77},
      {"", nullptr, 0x2051454C},
      {"", "0", 0x2051454C},
      {"0", nullptr, std::nullopt},
      {"010", nullptr, std::nullopt},
      {"-1", nullptr, std::nullopt},
      {"4294967296", nullptr, std::nullopt}};
  for (const auto &[option, environment, expected] : kCases) {
    environment ? setenv("QELPROGID", environment, 1) : unsetenv("QELPROGID");
    EXPECT_EQ(programNumber(option), expected) << option << " " << (environment ? environment : "");
  }
  unsetenv("QELPROGID");
}

}  // namespace
}  // namespace qel::tools
