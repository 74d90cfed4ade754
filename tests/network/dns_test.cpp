// DNS servers in their three forms: numeric, server 1 alone, and one text listing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using DnsTest = ServerTest;

constexpr uint32_t kGetDNS = proc::GetDNS::kNumber;
constexpr uint32_t kSetDNS = proc::SetDNS::kNumber;
constexpr unsigned int kUnset = 0xDEADBEEF;
char unsetText;

// A heap text from the library, freed at the end of the scope.
struct Text {
  char *text = &unsetText;
  Text() = default;
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  ~Text() {
    if (text != &unsetText) std::free(text);
  }
  char **out() { return &text; }
  std::string value() const { return text == nullptr ? "(null)" : text; }
};

struct Server {
  uint32_t address;
  uint32_t valid;
};

Reply dnsReply(Server s1, Server s2, Server s3, const std::string &dnsText) {
  return Reply::body(
      concat({words({0, 0xFFFF, s1.address, s1.valid, s2.address, s2.valid, s3.address, s3.valid}),
              xdrString(dnsText)}));
}

constexpr Server kAbsent{0x0B0B0B0B, 0};
constexpr Server kFirst{0x0A000001, 1}, kSecond{0x0A000002, 1}, kThird{0x0A000003, 1};

struct ReadCase {
  const char *name;
  Server s1, s2, s3;
  unsigned int want[3];
  const char *joined;
};

const ReadCase kReads[] = {
    {"none", kAbsent, kAbsent, kAbsent, {0, 0, 0}, "(null)"},
    {"1", kFirst, kAbsent, kAbsent, {0x0A000001, 0, 0}, "10.0.0.1"},
    {"2", kAbsent, kSecond, kAbsent, {0, 0x0A000002, 0}, "10.0.0.2"},
    {"3", kAbsent, kAbsent, kThird, {0, 0, 0x0A000003}, "10.0.0.3"},
    {"1 2", kFirst, kSecond, kAbsent, {0x0A000001, 0x0A000002, 0}, "10.0.0.1, 10.0.0.2"},
    {"1 3", kFirst, kAbsent, kThird, {0x0A000001, 0, 0x0A000003}, "10.0.0.1, 10.0.0.3"},
    {"2 3", kAbsent, kSecond, kThird, {0, 0x0A000002, 0x0A000003}, "10.0.0.2, 10.0.0.3"},
    {"1 2 3",
     kFirst,
     kSecond,
     kThird,
     {0x0A000001, 0x0A000002, 0x0A000003},
     "10.0.0.1, 10.0.0.2, 10.0.0.3"},
    {"present with address 0",
     kFirst,
     {0, 1},
     kThird,
     {0x0A000001, 0, 0x0A000003},
     "10.0.0.1, 10.0.0.3"},
    {"flag 0x101 reads as present",
     {0x01010101, 0x101},
     kAbsent,
     kAbsent,
     {0x01010101, 0, 0},
     "1.1.1.1"},
    {"longest texts",
     {0xFFFFFFFF, 1},
     {0xFFFFFFFF, 2},
     {0xFFFFFFFF, 255},
     {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
     "255.255.255.255, 255.255.255.255, 255.255.255.255"},
};

TEST_F(DnsTest, ReadsEveryPresencePattern) {
  for (const ReadCase &c : kReads) {
    SCOPED_TRACE(c.name);
    server.answer(kGetDNS, dnsReply(c.s1, c.s2, c.s3, "search example"));

    unsigned int got[3] = {kUnset, kUnset, kUnset};
    Text dnsText;
    ASSERT_EQ(qelGetDNS3(9, &got[0], &got[1], &got[2], dnsText.out()), RESULT_OK);
    EXPECT_EQ(got[0], c.want[0]);
    EXPECT_EQ(got[1], c.want[1]);
    EXPECT_EQ(got[2], c.want[2]);
    EXPECT_EQ(dnsText.value(), "search example");

    unsigned int first = kUnset;
    Text firstText;
    ASSERT_EQ(qelGetDNS(9, &first, firstText.out()), RESULT_OK);
    EXPECT_EQ(first, c.want[0]);
    EXPECT_EQ(firstText.value(), "search example");

    Text joined, joinedText;
    ASSERT_EQ(qelGetDNS_Str(9, joined.out(), joinedText.out()), RESULT_OK);
    EXPECT_EQ(joined.value(), c.joined);
    EXPECT_EQ(joinedText.value(), "search example") << "delivered even without servers";
  }
  for (const auto &call : server.callsOf(kGetDNS)) EXPECT_EQ(call.arguments, words({9}));
}

TEST_F(DnsTest, NullOutputsStillMakeTheCall) {
  server.answer(kGetDNS, dnsReply(kFirst, kSecond, kThird, "t"));
  unsigned int second = kUnset;
  EXPECT_EQ(qelGetDNS3(1, nullptr, &second, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(second, 0x0A000002u);
  EXPECT_EQ(qelGetDNS(1, nullptr, nullptr), RESULT_OK);
  Text dnsText;
  EXPECT_EQ(qelGetDNS_Str(1, nullptr, dnsText.out()), RESULT_OK);
  EXPECT_EQ(dnsText.value(), "t");
  EXPECT_EQ(server.callsOf(kGetDNS).size(), 3u);
}

// A set request as the server decoded it: three (address, flag) pairs and the text.
struct Sent {
  unsigned int server[3];
  unsigned char valid[3];
  const char *dnsText;
};

void expectRequest(const ScriptedServer &server, unsigned int configSelector, const Sent &want) {
  const auto got = server.lastArgument(kSetDNS, xdr_rpc_DNSState);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got->errorCode, 0);
  EXPECT_EQ(got->configSelector, configSelector);
  const unsigned int servers[] = {got->server1, got->server2, got->server3};
  const unsigned char valid[] = {got->server1Valid, got->server2Valid, got->server3Valid};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("server " + std::to_string(i + 1));
    EXPECT_EQ(servers[i], want.server[i]);
    EXPECT_EQ(valid[i], want.valid[i]);
  }
  EXPECT_STREQ(got->dnsText, want.dnsText);
}

const unsigned int kOne = 0x01010101, kTwo = 0x02020202, kThree = 0x03030303, kZero = 0;

TEST_F(DnsTest, NumericSetRequests) {
  server.answer(kSetDNS, Reply::integer(0));
  ASSERT_EQ(qelSetDNS3(4, &kOne, &kTwo, &kThree, "d"), RESULT_OK);
  expectRequest(server, 4, {{kOne, kTwo, kThree}, {1, 1, 1}, "d"});
  ASSERT_EQ(qelSetDNS3(4, nullptr, &kZero, nullptr, nullptr), RESULT_OK);
  expectRequest(server, 4, {{0, 0, 0}, {0, 1, 0}, ""});
  ASSERT_EQ(qelSetDNS(5, &kOne, "x"), RESULT_OK);
  expectRequest(server, 5, {{kOne, 0, 0}, {1, 0, 0}, "x"});
  ASSERT_EQ(qelSetDNS(5, nullptr, nullptr), RESULT_OK);
  expectRequest(server, 5, {{0, 0, 0}, {0, 0, 0}, ""});
}

struct ParseCase {
  const char *text;
  unsigned int result;
  std::vector<unsigned int> servers;  // sent present, in order; the rest absent
};

const ParseCase kParses[] = {
    {"1.1.1.1, 2.2.2.2", RESULT_OK, {kOne, kTwo}},
    {"1.1.1.1,2.2.2.2", RESULT_OK, {kOne, kTwo}},
    {"1.1.1.1 2.2.2.2", RESULT_OK, {kOne, kTwo}},
    {"1.1.1.1,,  ,2.2.2.2", RESULT_OK, {kOne, kTwo}},
    {"1.1.1.1, 2.2.2.2, ", RESULT_OK, {kOne, kTwo}},
    {"1.1.1.1 ,2.2.2.2,3.3.3.3", RESULT_OK, {kOne, kTwo, kThree}},
    {"1.1.1.1,2.2.2.2,3.3.3.3 ,, ", RESULT_OK, {kOne, kTwo, kThree}},
    {"1.1.1.1;2.2.2.2", RESULT_OK, {kOne}},  // only spaces and commas separate
    {"1.1.1.1\t2.2.2.2", RESULT_OK, {kOne}},
    {"1.1.1.1x", RESULT_OK, {kOne}},
    {"1.1.1.1.9, 2.2.2.2", RESULT_OK, {kOne, kTwo}},
    {"0.0.0.0", RESULT_OK, {kZero}},
    {"  1.1.1.1  2.2.2.2", RESULT_OK, {kOne, kTwo}},  // blanks before the first entry skipped
    {"\t1.1.1.1", RESULT_OK, {kOne}},
    {"", RESULT_OK, {}},
    {nullptr, RESULT_OK, {}},
    {"1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4", RESULT_TOO_MANY_VALUES, {}},
    {"1.1.1.1 2.2.2.2 3.3.3.3 junk", RESULT_TOO_MANY_VALUES, {}},
    {"1.1.1.1,2.2.2.2,3.3.3.3;4.4.4.4,x", RESULT_TOO_MANY_VALUES, {}},
    {",1.1.1.1", RESULT_INVALID_ARGUMENT, {}},
    {", ,", RESULT_INVALID_ARGUMENT, {}},
    {"   ", RESULT_INVALID_ARGUMENT, {}},
    {" ,1.1.1.1", RESULT_INVALID_ARGUMENT, {}},
    {"1.1.1.1, 2.2.2", RESULT_INVALID_ARGUMENT, {}},
    {"1.1.1.1, 256.2.2.2", RESULT_INVALID_ARGUMENT, {}},
    {"1.1.1.1, 2.2.2.2, junk", RESULT_INVALID_ARGUMENT, {}},
    {"1. 1.1.1, 2.2.2.2", RESULT_INVALID_ARGUMENT, {}},  // the blank ends the first entry
};

TEST_F(DnsTest, ServerListParser) {
  server.answer(kSetDNS, Reply::integer(0));
  for (const ParseCase &c : kParses) {
    SCOPED_TRACE(c.text != nullptr ? std::string("\"") + c.text + "\"" : "null");
    server.clearLog();
    ASSERT_EQ(qelSetDNS_Str(6, c.text, "text"), c.result);
    if (c.result != RESULT_OK) {
      EXPECT_EQ(server.callCount(), 0u) << "nothing is sent";
      continue;
    }
    Sent want{{0, 0, 0}, {0, 0, 0}, "text"};
    for (std::size_t i = 0; i < c.servers.size(); ++i) {
      want.server[i] = c.servers[i];
      want.valid[i] = 1;
    }
    expectRequest(server, 6, want);
  }
}

TEST_F(DnsTest, ServerListWithoutDnsTextSendsAnEmptyText) {
  server.answer(kSetDNS, Reply::integer(0));
  ASSERT_EQ(qelSetDNS_Str(6, "1.1.1.1", nullptr), RESULT_OK);
  expectRequest(server, 6, {{kOne, 0, 0}, {1, 0, 0}, ""});
}

}  // namespace
}  // namespace qel::test
