// SPDX-License-Identifier: Apache-2.0
// Dotted-quad text in both directions and the UTC date: conversions that never contact the
// server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "qel.h"

namespace qel::test {
namespace {

// What the formatted scan reads; no address: refused with 4 and the output left alone. An
// address read from its canonical text formats back to it, most significant byte first.
// clang-format off
const std::pair<const char *, std::optional<unsigned int>> kTexts[] = {
    {"10.0.0.1", 0x0A000001}, {"255.255.255.255", 0xFFFFFFFF}, {"0.0.0.0", 0},
    {"128.0.0.255", 0x800000FF}, {" 1.2.3.4", 0x01020304}, {"\t1. 2.\n3. 4", 0x01020304},
    {"1.2.3.4x", 0x01020304}, {"1.2.3.4.5", 0x01020304}, {"010.1.1.1", 0x0A010101},
    {"+1.2.3.4", 0x01020304}, {"256.1.1.1", {}}, {"1.2.3.256", {}}, {"1.2.3", {}},
    {"1..2.3", {}}, {"", {}}, {"   ", {}}, {"1 .2.3.4", {}}, {"0x1.2.3.4", {}}, {"-1.2.3.4", {}},
    {"4294967296.1.1.1", {}}, {"4294967297.1.1.1", {}}, {"1.2.3.18446744073709551617", {}},
};
// clang-format on

TEST(AddressText, ReadsWhatTheFormattedScanReadsAndFormatsBack) {
  for (const auto &[text, want] : kTexts) {
    unsigned int address = 0xDEADBEEF;
    EXPECT_EQ(qelStringToIPAddress(text, &address), want ? RESULT_OK : RESULT_INVALID_ARGUMENT)
        << text;
    EXPECT_EQ(address, want.value_or(0xDEADBEEF)) << text;
  }
  for (const auto &[text, want] : std::span(kTexts, 4)) {  // the canonical texts
    char *out = nullptr;
    ASSERT_EQ(qelIPAddressToString(*want, &out), RESULT_OK);
    EXPECT_STREQ(out, text);
    std::free(out);
  }
  EXPECT_EQ(qelIPAddressToString(1, nullptr), RESULT_NULL_ARGUMENT);
  unsigned int address = 0xDEADBEEF;
  EXPECT_EQ(qelStringToIPAddress(nullptr, &address), RESULT_NULL_ARGUMENT);
  EXPECT_EQ(address, 0xDEADBEEF);
  EXPECT_EQ(qelStringToIPAddress("1.2.3.4", nullptr), RESULT_NULL_ARGUMENT);
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
