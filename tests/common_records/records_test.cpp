// The records shared by several domains: exact bytes in both directions, through a stream that
// grants inline blocks and one that refuses them, the free direction, and decoding that fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

constexpr Inline kPolicies[] = {Inline::kGranted, Inline::kRefused};

// Encodes `record` through both kinds of stream and expects `expected` from each.
template <typename T>
void expectEncodes(bool_t (*codec)(XDR *, T *), const T &record, const Bytes &expected) {
  for (Inline policy : kPolicies) {
    SCOPED_TRACE(policy == Inline::kGranted ? "inline granted" : "inline refused");
    bool ok = false;
    EXPECT_EQ(encode(codec, record, policy, &ok), expected);
    EXPECT_TRUE(ok);
  }
}

// Every proper prefix of `bytes` fails to decode, and whatever the codec allocated before it
// gave up is released again (the sanitizer build sees a leak otherwise).
template <typename T>
void expectEveryPrefixFails(bool_t (*codec)(XDR *, T *), const Bytes &bytes) {
  for (Inline policy : kPolicies) {
    for (std::size_t keep = 0; keep < bytes.size(); ++keep) {
      SCOPED_TRACE("kept " + std::to_string(keep) + " bytes");
      EXPECT_FALSE(decode(codec, Bytes(bytes.begin(), bytes.begin() + keep), policy).ok);
    }
  }
}

struct StringAndECCase {
  const char *name;
  int errorCode;
  const char *text;
  Bytes wire;
};

const StringAndECCase kStringAndEC[] = {
    {"code 0 with abc", 0, "abc", words({0, 3, 0x61626300})},
    {"code 5 with empty text", 5, "", words({5, 0})},
    {"negative code and four bytes", -1, "abcd", words({0xFFFFFFFF, 4, 0x61626364})},
    {"five bytes padded to eight", INT32_MIN, "abcde",
     words({0x80000000, 5, 0x61626364, 0x65000000})},
};

TEST(StringAndECTest, ExactBytesBothWays) {
  for (const StringAndECCase &c : kStringAndEC) {
    SCOPED_TRACE(c.name);
    const rpc_StringAndEC record{c.errorCode, const_cast<char *>(c.text)};
    expectEncodes(xdr_rpc_StringAndEC, record, c.wire);
    for (Inline policy : kPolicies) {
      auto back = decode(xdr_rpc_StringAndEC, c.wire, policy);
      ASSERT_TRUE(back.ok);
      EXPECT_EQ(back->errorCode, c.errorCode);
      ASSERT_NE(back->text, nullptr) << "an empty text decodes to \"\", not to NULL";
      EXPECT_STREQ(back->text, c.text);
    }
    expectEveryPrefixFails(xdr_rpc_StringAndEC, c.wire);
  }
}

TEST(StringAndECTest, TextLongerThanTheDataReceivedFailsToDecode) {
  EXPECT_FALSE(decode(xdr_rpc_StringAndEC, words({0, 9, 0x61626364})).ok);
  EXPECT_FALSE(decode(xdr_rpc_StringAndEC, words({0, 0xFFFFFFFF, 0x61626364})).ok);
}

TEST(StringAndECTest, NullTextCannotBeEncoded) {
  const rpc_StringAndEC record{0, nullptr};
  bool ok = true;
  encode(xdr_rpc_StringAndEC, record, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
}

TEST(StringAndECTest, FreeReleasesTheTextAndLeavesNull) {
  auto decoded = decode(xdr_rpc_StringAndEC, words({0, 3, 0x61626300}));
  ASSERT_TRUE(decoded.ok);
  rpc_StringAndEC record = decoded.value;
  decoded.value.text = nullptr;  // now owned here
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_rpc_StringAndEC), reinterpret_cast<char *>(&record));
  EXPECT_EQ(record.text, nullptr);
  // Freeing again, with the text already gone, is harmless.
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_rpc_StringAndEC), reinterpret_cast<char *>(&record));
  EXPECT_EQ(record.text, nullptr);
}

struct FloatAndECCase {
  const char *name;
  int errorCode;
  float value;
  Bytes wire;
};

const FloatAndECCase kFloatAndEC[] = {
    {"one and a half", 0, 1.5f, words({0, 0x3FC00000})},
    {"sentinel reading", 0, -300.0f, words({0, 0xC3960000})},
    {"server code with zero", 12, 0.0f, words({12, 0})},
    {"negative code", -2, -0.5f, words({0xFFFFFFFE, 0xBF000000})},
};

TEST(FloatAndECTest, ExactBytesBothWays) {
  for (const FloatAndECCase &c : kFloatAndEC) {
    SCOPED_TRACE(c.name);
    expectEncodes(xdr_rpc_FloatAndEC, rpc_FloatAndEC{c.errorCode, c.value}, c.wire);
    for (Inline policy : kPolicies) {
      auto back = decode(xdr_rpc_FloatAndEC, c.wire, policy);
      ASSERT_TRUE(back.ok);
      EXPECT_EQ(back->errorCode, c.errorCode);
      EXPECT_EQ(back->value, c.value);
    }
    expectEveryPrefixFails(xdr_rpc_FloatAndEC, c.wire);
  }
}

rpc_MountInfo mountInfo(unsigned long unsignedNumber) {
  return {-7,
          const_cast<char *>("a"),
          const_cast<char *>(""),
          0x01020304,
          unsignedNumber,
          const_cast<char *>("abcd"),
          const_cast<char *>("host:/export")};
}

Bytes mountInfoWire(uint32_t unsignedNumber) {
  return concat({words({0xFFFFFFF9}), words({1, 0x61000000}), words({0}), words({0x01020304}),
                 words({unsignedNumber}), words({4, 0x61626364}),
                 words({12, 0x686F7374, 0x3A2F6578, 0x706F7274})});
}

TEST(MountInfoTest, ExactBytesBothWaysWithTheWholeUnsignedRange) {
  for (uint32_t number : {0u, 1u, 0x80000000u, 4294967295u}) {
    SCOPED_TRACE(number);
    const Bytes wire = mountInfoWire(number);
    expectEncodes(xdr_rpc_MountInfo, mountInfo(number), wire);
    for (Inline policy : kPolicies) {
      auto back = decode(xdr_rpc_MountInfo, wire, policy);
      ASSERT_TRUE(back.ok);
      EXPECT_EQ(back->number1, -7);
      EXPECT_STREQ(back->text1, "a");
      ASSERT_NE(back->text2, nullptr);
      EXPECT_STREQ(back->text2, "");
      EXPECT_EQ(back->number2, 0x01020304);
      EXPECT_EQ(back->unsignedNumber, static_cast<unsigned long>(number))
          << "reads back unchanged, never sign-extended";
      EXPECT_STREQ(back->text3, "abcd");
      EXPECT_STREQ(back->text4, "host:/export");
    }
  }
  expectEveryPrefixFails(xdr_rpc_MountInfo, mountInfoWire(4294967295u));
}

TEST(MountInfoTest, FreeReleasesEveryTextAndLeavesNull) {
  auto decoded = decode(xdr_rpc_MountInfo, mountInfoWire(5));
  ASSERT_TRUE(decoded.ok);
  rpc_MountInfo record = decoded.value;
  decoded.value = rpc_MountInfo{};  // now owned here
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_rpc_MountInfo), reinterpret_cast<char *>(&record));
  EXPECT_EQ(record.text1, nullptr);
  EXPECT_EQ(record.text2, nullptr);
  EXPECT_EQ(record.text3, nullptr);
  EXPECT_EQ(record.text4, nullptr);
}

TEST(MountInfoTest, AnyNullTextFailsTheEncode) {
  for (char *rpc_MountInfo::*field : {&rpc_MountInfo::text1, &rpc_MountInfo::text2,
                                      &rpc_MountInfo::text3, &rpc_MountInfo::text4}) {
    rpc_MountInfo record = mountInfo(1);
    record.*field = nullptr;
    bool ok = true;
    encode(xdr_rpc_MountInfo, record, Inline::kGranted, &ok);
    EXPECT_FALSE(ok);
  }
}

}  // namespace
}  // namespace qel::test
