// SPDX-License-Identifier: Apache-2.0
// What a scraper's request is read as: the /probe query, the allow-list's answer for a target,
// the scrape timeout and the format the Accept header asks for.
#include <gtest/gtest.h>

#include "exporter/allow_list.hpp"
#include "exporter/exposition.hpp"
#include "exporter/scrape_request.hpp"

namespace qel::exporter {
namespace {

TEST(ExporterRequest, ProbeQueries) {
  const char *kBadProgram = "program is not a number from 1 to 4294967295 (decimal or 0x-hex)";
  const std::tuple<QueryParams, const char *, unsigned long> kQueries[] = {
      {{{"target", "sp1.example.org"}}, "sp1.example.org", 7},
      {{{"target", "192.0.2.1"}, {"program", "0x40000001"}}, "192.0.2.1", 0x40000001},
      {{{"target", "sp1"}, {"program", "1073741825"}, {"other", "x"}}, "sp1", 1073741825},
      {{}, "target is missing", 0},
      {{{"target", ""}}, "target is empty", 0},
      {{{"target", "a"}, {"target", "b"}}, "target is given more than once", 0},
      {{{"target", std::string(254, 'a')}}, "target is longer than 253 characters", 0},
      {{{"target", "sp1/x"}}, "target is not a host name or address", 0},
      {{{"target", "-sp1"}}, "target is not a host name or address", 0},
      {{{"target", "sp1:111"}}, "target has a port; give the host", 0},
      {{{"target", "fd00::1"}},
       "target is an IPv6 address; the library connects over IPv4 only",
       0},
      {{{"target", "2130706433"}},
       "target is an IPv4 address not written as four decimal numbers",
       0},
      {{{"target", "127.1"}}, "target is an IPv4 address not written as four decimal numbers", 0},
      {{{"target", "sp1"}, {"program", "0"}}, kBadProgram, 0},
      {{{"target", "sp1"}, {"program", "4294967296"}}, kBadProgram, 0},
      {{{"target", "sp1"}, {"program", "1"}, {"program", "2"}},
       "program is given more than once",
       0},
  };
  for (const auto &[params, expected, program] : kQueries) {
    const auto target = probeTarget(params, 7);
    if (program != 0) {
      ASSERT_TRUE(std::holds_alternative<Target>(target)) << expected;
      EXPECT_EQ(std::get<Target>(target), (Target{expected, program}));
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(target)) << expected;
      EXPECT_EQ(std::get<std::string>(target), expected);
    }
  }
}

TEST(ExporterRequest, ScrapeBudget) {
  using std::chrono::milliseconds;
  const ScrapeTimes times{milliseconds(10000), milliseconds(500)};
  const std::pair<const char *, long> kBudgets[] = {
      {"10", 9500}, {"2.5", 2000}, {"0.6", 300},   {"1e9", 59500},
      {"", 10000},  {"-3", 10000}, {"nan", 10000}, {"10s", 10000},
  };
  for (const auto &[header, budget] : kBudgets) {
    EXPECT_EQ(std::chrono::duration_cast<milliseconds>(scrapeBudget(header, times)).count(), budget)
        << header;
  }
  // Half of a nanosecond rounds up, never down to no time at all.
  EXPECT_GT(scrapeBudget("1e-9", times), Clock::duration::zero());
}

TEST(ExporterRequest, AllowList) {
  AllowList list;
  std::string error;
  for (const char *entry :
       {"192.0.2.7", "10.8.0.0/16", "0.0.0.0/32", "*.sp.example.org", "Lab-?"}) {
    EXPECT_EQ(list.add(entry, error), std::string(entry) != "Lab-?") << entry;
  }
  EXPECT_EQ(error,
            "\"Lab-?\" is not an IPv4 address, a network (ADDRESS/BITS) or a host name pattern");
  ASSERT_TRUE(list.add("rack*-sp", error));
  const std::pair<const char *, bool> kTargets[] = {
      {"192.0.2.7", true},          {"192.0.2.8", false},      {"10.8.255.1", true},
      {"10.9.0.1", false},          {"0.0.0.0", true},         {"a.sp.example.org", true},
      {"A.B.SP.Example.ORG", true}, {"sp.example.org", false}, {"a.sp.example.org.evil", false},
      {"rack12-sp", true},          {"rack-sp", true},         {"rack12-sp1", false},
      {"169.254.169.254", false},   {"localhost", false},
  };
  for (const auto &[target, allowed] : kTargets) EXPECT_EQ(list.allows(target), allowed) << target;

  const std::pair<const char *, const char *> kRefused[] = {
      {"10.0.0.0/33", "\"10.0.0.0/33\": the prefix length is not 0 to 32"},
      {"10.0.0.0/", "\"10.0.0.0/\": the prefix length is not 0 to 32"},
      {"fd00::/8", "\"fd00::/8\": IPv6 is not supported (the library connects over IPv4)"},
      {"", "\"\" is not an IPv4 address, a network (ADDRESS/BITS) or a host name pattern"},
      {"sp/24",
       "\"sp/24\" is not an IPv4 address, a network (ADDRESS/BITS) or a host name pattern"},
  };
  for (const auto &[entry, reason] : kRefused) {
    EXPECT_FALSE(list.add(entry, error)) << entry;
    EXPECT_EQ(error, reason);
  }
  AllowList any;
  ASSERT_TRUE(any.add("*", error));
  EXPECT_TRUE(any.allows("anything.example"));
  EXPECT_FALSE(any.allows("192.0.2.1"));  // an address only by a network
}

TEST(ExporterRequest, AcceptHeader) {
  const std::pair<const char *, Format> kHeaders[] = {
      // What Prometheus sends.
      {"application/openmetrics-text;version=1.0.0,application/openmetrics-text;version=0.0.1;"
       "q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1",
       Format::kOpenMetrics},
      {"", Format::kText},
      {"*/*", Format::kText},
      {"application/openmetrics-text", Format::kOpenMetrics},
      {"Application/OpenMetrics-Text; Version=1.0.0", Format::kOpenMetrics},
      {"application/openmetrics-text;q=0", Format::kText},
      {"application/openmetrics-text;q=0.5, text/plain", Format::kText},
      {"text/plain;q=0.4, application/openmetrics-text;q=0.5", Format::kOpenMetrics},
      {"application/openmetrics-text;version=2.0.0", Format::kText},
      {"application/openmetrics-text;q=1.5", Format::kText},
      {"application/openmetrics-text;q=abc, text/plain;q=0.1", Format::kText},
      {"text/plain;version=0.0.4;q=0.9,application/openmetrics-text;q=0.9", Format::kOpenMetrics},
  };
  for (const auto &[header, format] : kHeaders) EXPECT_EQ(formatFor(header), format) << header;
}

}  // namespace
}  // namespace qel::exporter
