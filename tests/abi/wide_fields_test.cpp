// The fields that are unsigned long in memory travel as 32 bits on every target: the largest
// value they carry leaves as FF FF FF FF and reads back unchanged, with and without inline
// blocks. The header's layout is checked at compile time by layout_checks.h, here in C++ and in
// layout_checks_c99.c in C.
#include <gtest/gtest.h>

#include "layout_checks.h"
#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

constexpr unsigned long kAllBits = 4294967295UL;
constexpr Inline kPolicies[] = {Inline::kGranted, Inline::kRefused};

char kText[] = "mnt";
char kEmpty[] = "";

rpc_ConsoleConfig consoleConfig(unsigned long value5) { return {1, 3, 2, 4, value5, -5}; }
Bytes consoleConfigBytes(uint32_t value5) {
  return words({1, 3, 2, 4, value5, static_cast<uint32_t>(-5)});
}

rpc_ProcessInfo processInfo(unsigned long tag) { return {4242, tag}; }
Bytes processInfoBytes(uint32_t tag) { return words({4242, tag}); }

rpc_MountInfo mountInfo(unsigned long number) {
  return {7, kText, kEmpty, -8, number, kEmpty, kText};
}
Bytes mountInfoBytes(uint32_t number) {
  return concat({words({7}), xdrString("mnt"), xdrString(""), encodeInt(-8), words({number}),
                 xdrString(""), xdrString("mnt")});
}

// Encodes the record with the field all ones, compares the bytes, decodes them and reads the
// field back.
template <typename Record>
void checkAllBitsSet(bool_t (*codec)(XDR *, Record *), Record (*make)(unsigned long),
                     Bytes (*expected)(uint32_t), unsigned long Record::*field) {
  for (Inline policy : kPolicies) {
    SCOPED_TRACE(policy == Inline::kGranted ? "inline granted" : "inline refused");
    bool ok = false;
    const Bytes bytes = encode(codec, make(kAllBits), policy, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes, expected(0xFFFFFFFFu));
    const auto decoded = decode(codec, bytes, policy);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.value.*field, kAllBits);
  }
}

TEST(WideFields, AllBitsSetTravelAsFourBytesAndReadBackUnchanged) {
  {
    SCOPED_TRACE("consoleValue5");
    checkAllBitsSet(xdr_rpc_ConsoleConfig, consoleConfig, consoleConfigBytes,
                    &rpc_ConsoleConfig::consoleValue5);
  }
  {
    SCOPED_TRACE("processTag");
    checkAllBitsSet(xdr_rpc_ProcessInfo, processInfo, processInfoBytes,
                    &rpc_ProcessInfo::processTag);
  }
  {
    SCOPED_TRACE("unsignedNumber");
    checkAllBitsSet(xdr_rpc_MountInfo, mountInfo, mountInfoBytes, &rpc_MountInfo::unsignedNumber);
  }
}

}  // namespace
}  // namespace qel::test
