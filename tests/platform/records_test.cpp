// The platform request records: exact bytes through streams that grant and refuse inline
// blocks, decoding both ways, the free direction, and what fails.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

constexpr Inline kPolicies[] = {Inline::kGranted, Inline::kRefused};

// What the typed tests need to know of each record: its codec, its integers and its text.
template <typename T>
struct Shape;

template <>
struct Shape<rpc_PlatformSetAction> {
  static constexpr auto kCodec = xdr_rpc_PlatformSetAction;
  static rpc_PlatformSetAction make(const std::vector<int> &v, char *text) {
    return {v[0], v[1], v[2], text};
  }
  static std::vector<int> ints(const rpc_PlatformSetAction &r) {
    return {r.actionCode, r.actionOption, r.actionValue};
  }
  static char *&text(rpc_PlatformSetAction &r) { return r.actionText; }
};

template <>
struct Shape<rpc_PlatformMCEvent> {
  static constexpr auto kCodec = xdr_rpc_PlatformMCEvent;
  static rpc_PlatformMCEvent make(const std::vector<int> &v, char *text) {
    return {v[0], v[1], v[2], text};
  }
  static std::vector<int> ints(const rpc_PlatformMCEvent &r) {
    return {r.eventValue1, r.eventValue2, r.eventValue3};
  }
  static char *&text(rpc_PlatformMCEvent &r) { return r.eventText; }
};

template <>
struct Shape<rpc_PlatformDimmEvent> {
  static constexpr auto kCodec = xdr_rpc_PlatformDimmEvent;
  static rpc_PlatformDimmEvent make(const std::vector<int> &v, char *text) {
    return {v[0], v[1], v[2], v[3], text};
  }
  static std::vector<int> ints(const rpc_PlatformDimmEvent &r) {
    return {r.eventValue1, r.eventValue2, r.eventValue3, r.eventValue4};
  }
  static char *&text(rpc_PlatformDimmEvent &r) { return r.eventText; }
};

template <typename T>
class PlatformRecordTest : public ::testing::Test {
 protected:
  using S = Shape<T>;
  static std::size_t intCount() { return S::ints(T{}).size(); }

  // Integers of this record's width taken from a longer list.
  static std::vector<int> first(std::vector<int> values) {
    values.resize(intCount());
    return values;
  }

  // The wire image written out by hand: big-endian words, then length, bytes and padding.
  static Bytes expectedWire(const std::vector<int> &values, const std::string &text) {
    Bytes wire;
    for (int v : values) wire = concat({wire, encodeInt(v)});
    return concat({wire, xdrString(text)});
  }
};

using PlatformRecords =
    ::testing::Types<rpc_PlatformSetAction, rpc_PlatformMCEvent, rpc_PlatformDimmEvent>;
TYPED_TEST_SUITE(PlatformRecordTest, PlatformRecords);

struct WireCase {
  std::vector<int> values;
  std::string text;
};

const WireCase kWireCases[] = {
    {{1, 2, 3, 4}, ""},
    {{-1, 200, 255, 0}, "abc"},
    {{INT32_MIN, INT32_MAX, 0, -2}, "abcd"},
    {{0, 0, 0, 0}, "abcde"},
    {{7, 0, -7, 1}, std::string("nul\0inside", 3)},
};

TYPED_TEST(PlatformRecordTest, SameBytesThroughEitherStreamAndBackAgain) {
  using S = Shape<TypeParam>;
  for (const WireCase &c : kWireCases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    const std::vector<int> values = this->first(c.values);
    std::string text = c.text;
    const TypeParam record = S::make(values, text.data());
    const Bytes expected = this->expectedWire(values, c.text);
    EXPECT_EQ(expected.size(), 4 * values.size() + 4 + (c.text.size() + 3) / 4 * 4);
    for (Inline policy : kPolicies) {
      bool ok = false;
      EXPECT_EQ(encode(S::kCodec, record, policy, &ok), expected);
      EXPECT_TRUE(ok);
      auto back = decode(S::kCodec, expected, policy);
      ASSERT_TRUE(back.ok);
      EXPECT_EQ(S::ints(back.value), values);
      ASSERT_NE(S::text(back.value), nullptr);
      EXPECT_EQ(std::string(S::text(back.value)), c.text);
    }
  }
}

TYPED_TEST(PlatformRecordTest, RecordCutShortFailsToDecodeThroughEitherStream) {
  using S = Shape<TypeParam>;
  const Bytes whole = this->expectedWire(this->first({1, 2, 3, 4}), "abcde");
  for (Inline policy : kPolicies) {
    for (std::size_t keep = 0; keep < whole.size(); ++keep) {
      SCOPED_TRACE("kept " + std::to_string(keep));
      EXPECT_FALSE(decode(S::kCodec, Bytes(whole.begin(), whole.begin() + keep), policy).ok);
    }
  }
  // A text of nine bytes of which four arrive.
  Bytes lying = this->expectedWire(this->first({1, 2, 3, 4}), "");
  lying.back() = 9;
  for (Inline policy : kPolicies) {
    EXPECT_FALSE(decode(S::kCodec, concat({lying, words({0x61626364})}), policy).ok);
  }
}

TYPED_TEST(PlatformRecordTest, NullTextCannotBeEncoded) {
  using S = Shape<TypeParam>;
  for (Inline policy : kPolicies) {
    bool ok = true;
    encode(S::kCodec, S::make(this->first({1, 2, 3, 4}), nullptr), policy, &ok);
    EXPECT_FALSE(ok);
  }
}

TYPED_TEST(PlatformRecordTest, FreeReleasesTheTextAndLeavesNull) {
  using S = Shape<TypeParam>;
  auto decoded = decode(S::kCodec, this->expectedWire(this->first({1, 2, 3, 4}), "abc"));
  ASSERT_TRUE(decoded.ok);
  TypeParam record = decoded.value;
  S::text(decoded.value) = nullptr;  // owned here from now on
  const auto codec = reinterpret_cast<xdrproc_t>(S::kCodec);
  xdr_free(codec, reinterpret_cast<char *>(&record));
  EXPECT_EQ(S::text(record), nullptr);
  EXPECT_EQ(S::ints(record), this->first({1, 2, 3, 4})) << "freeing leaves the integers alone";
  xdr_free(codec, reinterpret_cast<char *>(&record));  // a null text frees without harm
  EXPECT_EQ(S::text(record), nullptr);
}

// The literal images of a few requests, written out byte by byte.
TEST(PlatformRecordBytesTest, LiteralImages) {
  char empty[] = "", abc[] = "abc";
  EXPECT_EQ(encode(xdr_rpc_PlatformSetAction, rpc_PlatformSetAction{5, 200, -1, empty}),
            (Bytes{0, 0, 0, 5, 0, 0, 0, 0xC8, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(encode(xdr_rpc_PlatformMCEvent, rpc_PlatformMCEvent{-1, 0, 1, abc}, Inline::kRefused),
            (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 'a', 'b', 'c', 0}));
  EXPECT_EQ(encode(xdr_rpc_PlatformDimmEvent, rpc_PlatformDimmEvent{1, 2, 3, 4, abc}),
            (Bytes{0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 3, 'a', 'b', 'c', 0}));
}

}  // namespace
}  // namespace qel::test
