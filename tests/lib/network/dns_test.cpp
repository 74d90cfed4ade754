// SPDX-License-Identifier: Apache-2.0
// DNS servers in their three forms: numeric, server 1 alone, and one text listing them.
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "server_test.hpp"

namespace qel::test {
namespace {

using DnsTest = ServerTest;
constexpr uint32_t kGetDNS = 1022, kSetDNS = 1023;
constexpr uint32_t kAbsent = 0x0B0B0B0B;  // an address the server marks absent

struct ReadCase {
  uint32_t servers[6];  // address and presence flag of servers 1, 2 and 3
  unsigned int want[3];
  const char *joined;
};

// Presence flags keep their low byte: 0x101 is present, 0x100 absent.
// clang-format off
const ReadCase kReads[] = {
    {{kAbsent, 0, kAbsent, 0, kAbsent, 0}, {0, 0, 0}, "(null)"},
    {{0x0A000001, 1, kAbsent, 0, kAbsent, 0}, {0x0A000001, 0, 0}, "10.0.0.1"},
    {{0x0A000001, 1, 0x0A000002, 1, kAbsent, 0}, {0x0A000001, 0x0A000002, 0}, "10.0.0.1, 10.0.0.2"},
    {{0x0A000001, 1, kAbsent, 0, 0x0A000003, 1}, {0x0A000001, 0, 0x0A000003}, "10.0.0.1, 10.0.0.3"},
    {{0x0A000001, 1, 0, 1, 0x0A000003, 1}, {0x0A000001, 0, 0x0A000003}, "10.0.0.1, 10.0.0.3"},
    {{0x01010101, 0x101, 0x02020202, 0x100, kAbsent, 0}, {0x01010101, 0, 0}, "1.1.1.1"},
    {{0xFFFFFFFF, 1, 0xFFFFFFFF, 2, 0xFFFFFFFF, 255}, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
     "255.255.255.255, 255.255.255.255, 255.255.255.255"},
};
// clang-format on

TEST_F(DnsTest, EveryFormReadsThePresentServers) {
  for (const ReadCase &c : kReads) {
    SCOPED_TRACE(c.joined);
    const uint32_t *s = c.servers;
    server.answer(kGetDNS, Reply::body(concat({words({0, 9, s[0], s[1], s[2], s[3], s[4], s[5]}),
                                               xdrString("search example")})));
    unsigned int got[3] = {1, 1, 1}, first = 1;
    char *text = nullptr, *firstText = nullptr, *joined = nullptr, *joinedText = nullptr;
    ASSERT_EQ(qelGetDNS3(9, &got[0], &got[1], &got[2], &text), RESULT_OK);
    ASSERT_EQ(qelGetDNS(9, &first, &firstText), RESULT_OK);
    ASSERT_EQ(qelGetDNS_Str(9, &joined, &joinedText), RESULT_OK);
    EXPECT_EQ(std::vector(got, got + 3), std::vector(c.want, c.want + 3));
    EXPECT_EQ(first, c.want[0]);
    EXPECT_EQ(take(joined), c.joined);
    for (char *dnsText : {text, firstText, joinedText}) EXPECT_EQ(take(dnsText), "search example");
  }
}

// The request of a write: the selector, then address and flag of each server, then the text.
using Servers = std::vector<std::optional<uint32_t>>;  // nothing: sent absent
Bytes sent(uint32_t selector, Servers servers, const char *text) {
  servers.resize(3);
  Bytes fields = words({0, selector});
  for (auto address : servers) fields = concat({fields, words({address.value_or(0), !!address})});
  return concat({fields, xdrString(text)});
}

TEST_F(DnsTest, NumericWriteSendsNullServersAbsentAndANullTextEmpty) {
  server.answer(kSetDNS, Reply::integer(0));
  const unsigned int two = 0x02020202;
  ASSERT_EQ(qelSetDNS3(4, nullptr, &two, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetDNS).back().arguments, sent(4, {std::nullopt, two}, ""));
}

struct ParseCase {
  const char *text;
  unsigned int result;
  Servers servers;  // sent present, in order; the rest absent
};

constexpr uint32_t k1 = 0x01010101, k2 = 0x02020202, k3 = 0x03030303;
// clang-format off
const ParseCase kParses[] = {
    {"1.1.1.1 2.2.2.2", 0, {k1, k2}}, {"1.1.1.1,,  ,2.2.2.2", 0, {k1, k2}},
    {"1.1.1.1, 2.2.2.2, ", 0, {k1, k2}}, {"1.1.1.1 ,2.2.2.2,3.3.3.3 ,, ", 0, {k1, k2, k3}},
    {"1.1.1.1;2.2.2.2", 0, {k1}}, {"1.1.1.1\t2.2.2.2", 0, {k1}},  // only spaces and commas separate
    {"1.1.1.1.9, 2.2.2.2", 0, {k1, k2}}, {"0.0.0.0", 0, {0u}}, {"  1.1.1.1  2.2.2.2", 0, {k1, k2}},
    {"", 0, {}}, {nullptr, 0, {}}, {"1.1.1.1,\t 2.2.2.2", 0, {k1, k2, k2}},
    {"1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4", RESULT_TOO_MANY_VALUES, {}},
    {"1.1.1.1 2.2.2.2 3.3.3.3 junk", RESULT_TOO_MANY_VALUES, {}},
    {",1.1.1.1", RESULT_INVALID_ARGUMENT, {}}, {"   ", RESULT_INVALID_ARGUMENT, {}},
    {"1.1.1.1, 2.2.2", RESULT_INVALID_ARGUMENT, {}},
    {"1.1.1.1, 256.2.2.2", RESULT_INVALID_ARGUMENT, {}},
    {"1. 1.1.1, 2.2.2.2", RESULT_INVALID_ARGUMENT, {}},  // the blank ends the first entry
};
// clang-format on

TEST_F(DnsTest, ServerListParser) {
  server.answer(kSetDNS, Reply::integer(0));
  for (const ParseCase &c : kParses) {
    SCOPED_TRACE(c.text != nullptr ? c.text : "null");
    server.clearLog();
    ASSERT_EQ(qelSetDNS_Str(6, c.text, "text"), c.result);
    const auto calls = server.callsOf(kSetDNS);
    ASSERT_EQ(calls.size(), c.result == RESULT_OK ? 1u : 0u);
    if (!calls.empty()) {
      EXPECT_EQ(calls[0].arguments, sent(6, c.servers, "text"));
    }
  }
}

}  // namespace
}  // namespace qel::test
