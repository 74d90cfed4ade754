// Dotted-quad text in both directions and the UTC date, none of which contacts the server.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "qel.h"

namespace qel::test {
namespace {

constexpr unsigned int kUntouched = 0xDEADBEEF;

// A heap text from the library, freed at the end of the scope.
struct Text {
  char *text = nullptr;
  ~Text() { std::free(text); }
  char **out() { return &text; }
};

struct AddressCase {
  const char *text;
  unsigned int address;
};

const AddressCase kFormatted[] = {
    {"0.0.0.0", 0},           {"255.255.255.255", 0xFFFFFFFF}, {"192.168.0.1", 0xC0A80001},
    {"10.0.0.1", 0x0A000001}, {"1.2.3.4", 0x01020304},         {"128.0.0.255", 0x800000FF},
};

TEST(AddressText, FormatsTheMostSignificantByteFirst) {
  for (const AddressCase &c : kFormatted) {
    SCOPED_TRACE(c.text);
    Text text;
    ASSERT_EQ(qelIPAddressToString(c.address, text.out()), RESULT_OK);
    EXPECT_STREQ(text.text, c.text);
  }
  EXPECT_EQ(qelIPAddressToString(1, nullptr), RESULT_NULL_ARGUMENT);
}

const AddressCase kReadable[] = {
    {"10.0.0.1", 0x0A000001},
    {"255.255.255.255", 0xFFFFFFFF},
    {"0.0.0.0", 0},
    {" 1.2.3.4", 0x01020304},       // blanks before a number are skipped
    {"\t1. 2.\n3. 4", 0x01020304},  // before every number
    {"1.2.3.4x", 0x01020304},       // whatever follows the fourth number is ignored
    {"1.2.3.4.5", 0x01020304},
    {"1.2.3.4 junk", 0x01020304},
    {"010.1.1.1", 0x0A010101},  // decimal, not octal
    {"+1.2.3.4", 0x01020304},
};

TEST(AddressText, ReadsWhatTheFormattedScanReads) {
  for (const AddressCase &c : kReadable) {
    SCOPED_TRACE(c.text);
    unsigned int address = kUntouched;
    ASSERT_EQ(qelStringToIPAddress(c.text, &address), RESULT_OK);
    EXPECT_EQ(address, c.address);
  }
}

const char *const kMalformed[] = {
    "256.1.1.1",
    "1.2.3.256",
    "1.2.3",
    "1..2.3",
    "1.2.3.",
    "",
    "   ",
    "a.b.c.d",
    "1 .2.3.4",  // a dot must follow its number directly
    "1,2,3,4",
    "0x1.2.3.4",                   // "0", then "x" where a dot belongs
    "-1.2.3.4",                    // reads as a number far above 255
    "4294967296.1.1.1",            // 2^32 must not wrap to 0
    "4294967297.1.1.1",            // nor to 1
    "1.2.3.18446744073709551617",  // nor past 64 bits
    "99999999999999999999999999.1.1.1",
};

TEST(AddressText, MalformedTextsLeaveTheAddressUntouched) {
  for (const char *text : kMalformed) {
    SCOPED_TRACE(text);
    unsigned int address = kUntouched;
    EXPECT_EQ(qelStringToIPAddress(text, &address), RESULT_INVALID_ARGUMENT);
    EXPECT_EQ(address, kUntouched);
  }
}

TEST(AddressText, NullPointersAreRejected) {
  unsigned int address = kUntouched;
  EXPECT_EQ(qelStringToIPAddress(nullptr, &address), RESULT_NULL_ARGUMENT);
  EXPECT_EQ(address, kUntouched);
  EXPECT_EQ(qelStringToIPAddress("1.2.3.4", nullptr), RESULT_NULL_ARGUMENT);
  EXPECT_EQ(qelStringToIPAddress(nullptr, nullptr), RESULT_NULL_ARGUMENT);
}

TEST(AddressText, EveryAddressSurvivesTheRoundTrip) {
  // A prime stride visits every byte value in every position, plus both ends of the range.
  std::vector<unsigned int> sample{0, 1, 0xFF, 0x100, 0xFFFFFFFE, 0xFFFFFFFF};
  for (uint64_t v = 0; v <= 0xFFFFFFFFu; v += 65521) sample.push_back(static_cast<unsigned>(v));
  int failures = 0;
  for (const unsigned int address : sample) {
    Text text;
    unsigned int back = ~address;
    if (qelIPAddressToString(address, text.out()) != RESULT_OK ||
        qelStringToIPAddress(text.text, &back) != RESULT_OK || back != address) {
      if (++failures <= 5) ADD_FAILURE() << std::hex << address;
    }
  }
  EXPECT_EQ(failures, 0);
}

// Sets TZ for the scope and restores it afterwards.
class TimeZone {
 public:
  explicit TimeZone(const char *zone) {
    if (const char *old = std::getenv("TZ")) saved_ = old, hadOne_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (hadOne_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string saved_;
  bool hadOne_ = false;
};

// The moment a date text names, read back as UTC; -1 when the text has another shape.
std::time_t utcMoment(const char *date) {
  std::tm parts{};
  const char *rest = strptime(date, "%Y-%m-%d %H:%M:%S GMT", &parts);
  if (rest == nullptr || *rest != '\0') return -1;
  return timegm(&parts);
}

TEST(DateText, IsUtcWhateverTheLocalZone) {
  for (const char *zone : {"UTC0", "QQQ-5:30", "ZZZ+11"}) {
    SCOPED_TRACE(zone);
    TimeZone local(zone);
    const std::time_t before = std::time(nullptr);
    Text date;
    ASSERT_EQ(qelGetDate(date.out()), RESULT_OK);
    const std::time_t after = std::time(nullptr);
    ASSERT_NE(date.text, nullptr);
    EXPECT_EQ(std::strlen(date.text), 23u) << date.text;
    const std::time_t named = utcMoment(date.text);
    EXPECT_GE(named, before) << date.text;
    EXPECT_LE(named, after) << date.text;
  }
}

TEST(DateText, NullOutputIsRejected) { EXPECT_EQ(qelGetDate(nullptr), RESULT_INVALID_ARGUMENT); }

TEST(DateText, ThreadsFormatTheirOwnDates) {
  constexpr int kThreads = 4, kCalls = 200;
  std::atomic<int> malformed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) {
        Text date;
        if (qelGetDate(date.out()) != RESULT_OK || utcMoment(date.text) < 0) ++malformed;
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(malformed.load(), 0);
}

}  // namespace
}  // namespace qel::test
