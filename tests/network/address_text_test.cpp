// Dotted-quad text in both directions and the UTC date: conversions that never contact the
// server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "qel.h"

namespace qel::test {
namespace {

TEST(AddressText, FormatsTheMostSignificantByteFirst) {
  const std::pair<unsigned int, const char *> cases[] = {{0, "0.0.0.0"},
                                                         {0xFFFFFFFF, "255.255.255.255"},
                                                         {0xC0A80001, "192.168.0.1"},
                                                         {0x800000FF, "128.0.0.255"}};
  for (const auto &[address, text] : cases) {
    char *out = nullptr;
    ASSERT_EQ(qelIPAddressToString(address, &out), RESULT_OK);
    EXPECT_STREQ(out, text);
    std::free(out);
  }
  EXPECT_EQ(qelIPAddressToString(1, nullptr), RESULT_NULL_ARGUMENT);
}

// What the formatted scan reads; no address: refused with 4 and the output left alone.
// clang-format off
const std::pair<const char *, std::optional<unsigned int>> kTexts[] = {
    {"10.0.0.1", 0x0A000001}, {"255.255.255.255", 0xFFFFFFFF}, {" 1.2.3.4", 0x01020304},
    {"\t1. 2.\n3. 4", 0x01020304}, {"1.2.3.4x", 0x01020304}, {"1.2.3.4.5", 0x01020304},
    {"010.1.1.1", 0x0A010101}, {"+1.2.3.4", 0x01020304},
    {"256.1.1.1", {}}, {"1.2.3.256", {}}, {"1.2.3", {}}, {"1..2.3", {}}, {"", {}}, {"   ", {}},
    {"1 .2.3.4", {}}, {"0x1.2.3.4", {}}, {"-1.2.3.4", {}}, {"4294967296.1.1.1", {}},
    {"4294967297.1.1.1", {}}, {"1.2.3.18446744073709551617", {}},
};
// clang-format on

TEST(AddressText, ReadsWhatTheFormattedScanReads) {
  for (const auto &[text, want] : kTexts) {
    unsigned int address = 0xDEADBEEF;
    EXPECT_EQ(qelStringToIPAddress(text, &address), want ? RESULT_OK : RESULT_INVALID_ARGUMENT)
        << text;
    EXPECT_EQ(address, want.value_or(0xDEADBEEF)) << text;
  }
  unsigned int address = 0xDEADBEEF;
  EXPECT_EQ(qelStringToIPAddress(nullptr, &address), RESULT_NULL_ARGUMENT);
  EXPECT_EQ(address, 0xDEADBEEF);
  EXPECT_EQ(qelStringToIPAddress("1.2.3.4", nullptr), RESULT_NULL_ARGUMENT);
}

TEST(AddressText, EveryAddressSurvivesTheRoundTrip) {
  // A prime stride visits every byte value in every position; the last step is the top.
  std::vector<unsigned int> lost;
  for (uint64_t v = 0; v < 0x100000000u + 65521; v += 65521) {
    const auto address = static_cast<unsigned int>(std::min<uint64_t>(v, 0xFFFFFFFFu));
    char *text = nullptr;
    unsigned int back = ~address;
    qelIPAddressToString(address, &text);
    if (qelStringToIPAddress(text, &back) != RESULT_OK || back != address) lost.push_back(address);
    std::free(text);
  }
  EXPECT_EQ(lost, std::vector<unsigned int>{});
}

TEST(DateText, IsUtcWhateverTheLocalZone) {
  for (const char *zone : {"UTC0", "QQQ-5:30", "ZZZ+11"}) {
    setenv("TZ", zone, 1);
    tzset();
    const std::time_t before = std::time(nullptr);
    char *date = nullptr;
    ASSERT_EQ(qelGetDate(&date), RESULT_OK);
    const std::time_t after = std::time(nullptr);
    ASSERT_NE(date, nullptr);
    std::tm parts{};
    const char *rest = strptime(date, "%Y-%m-%d %H:%M:%S GMT", &parts);
    EXPECT_TRUE(std::string(date).size() == 23 && rest != nullptr && *rest == '\0') << date;
    EXPECT_GE(timegm(&parts), before) << zone << ": " << date;
    EXPECT_LE(timegm(&parts), after) << zone << ": " << date;
    std::free(date);
  }
  unsetenv("TZ");
  tzset();
  EXPECT_EQ(qelGetDate(nullptr), RESULT_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace qel::test
