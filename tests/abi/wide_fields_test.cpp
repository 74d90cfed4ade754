// The fields that are unsigned long in memory travel as 32 bits on every target: the largest
// value they carry leaves as FF FF FF FF and reads back unchanged, through memory streams (with
// and without inline blocks) and through a real connection. The header's layout is checked at
// compile time by layout_checks.h, here in C++ and in layout_checks_c99.c in C.
#include <gtest/gtest.h>

#include "layout_checks.h"
#include "protocol/procedures.hpp"
#include "server_test.hpp"

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

// Encodes the record holding `sent`, compares the bytes with the expected ones holding
// `onWire`, then decodes them and returns the field read back (through `field`).
template <typename Record>
void checkWide(bool_t (*codec)(XDR *, Record *), Record (*make)(unsigned long),
               Bytes (*expected)(uint32_t), unsigned long Record::*field, unsigned long sent,
               uint32_t onWire) {
  for (Inline policy : kPolicies) {
    SCOPED_TRACE(policy == Inline::kGranted ? "inline granted" : "inline refused");
    bool ok = false;
    const Bytes bytes = encode(codec, make(sent), policy, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes, expected(onWire));
    const auto decoded = decode(codec, bytes, policy);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.value.*field, static_cast<unsigned long>(onWire));
  }
}

TEST(WideFields, AllBitsSetTravelAsFourBytesAndReadBackUnchanged) {
  {
    SCOPED_TRACE("consoleValue5");
    checkWide(xdr_rpc_ConsoleConfig, consoleConfig, consoleConfigBytes,
              &rpc_ConsoleConfig::consoleValue5, kAllBits, 0xFFFFFFFFu);
  }
  {
    SCOPED_TRACE("processTag");
    checkWide(xdr_rpc_ProcessInfo, processInfo, processInfoBytes, &rpc_ProcessInfo::processTag,
              kAllBits, 0xFFFFFFFFu);
  }
  {
    SCOPED_TRACE("unsignedNumber");
    checkWide(xdr_rpc_MountInfo, mountInfo, mountInfoBytes, &rpc_MountInfo::unsignedNumber,
              kAllBits, 0xFFFFFFFFu);
  }
}

TEST(WideFields, OnlyTheLow32BitsOfAWiderUnsignedLongAreSent) {
  if constexpr (sizeof(unsigned long) == 4) {
    GTEST_SKIP() << "unsigned long is 32 bits wide on this target";
  } else {
    const unsigned long wide = (1UL << 32) | 5;
    checkWide(xdr_rpc_ConsoleConfig, consoleConfig, consoleConfigBytes,
              &rpc_ConsoleConfig::consoleValue5, wide, 5);
    checkWide(xdr_rpc_ProcessInfo, processInfo, processInfoBytes, &rpc_ProcessInfo::processTag,
              wide, 5);
    checkWide(xdr_rpc_MountInfo, mountInfo, mountInfoBytes, &rpc_MountInfo::unsignedNumber, wide,
              5);
  }
}

using WideFieldsOverTcp = ServerTest;

TEST_F(WideFieldsOverTcp, StubsSendAllBitsSetAsFourBytes) {
  server.answer(proc::SetConsoleConfig::kNumber, Reply::integer(0));
  server.answer(proc::RegisterPID::kNumber, Reply::integer(0));

  rpc_ConsoleConfig config = consoleConfig(kAllBits);
  int *status = syssetconsoleconfig_1(&config, handle());
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(*status, 0);
  clnt_freeres(handle(), reinterpret_cast<xdrproc_t>(xdr_int), reinterpret_cast<char *>(status));

  rpc_ProcessInfo process = processInfo(kAllBits);
  status = registerpid_1(&process, handle());
  ASSERT_NE(status, nullptr);
  clnt_freeres(handle(), reinterpret_cast<xdrproc_t>(xdr_int), reinterpret_cast<char *>(status));

  const auto console = server.callsOf(proc::SetConsoleConfig::kNumber);
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console.back().arguments, consoleConfigBytes(0xFFFFFFFFu));
  const auto registered = server.callsOf(proc::RegisterPID::kNumber);
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered.back().arguments, processInfoBytes(0xFFFFFFFFu));
}

TEST_F(WideFieldsOverTcp, StubDecodesAllBitsSetUnchanged) {
  server.answer(proc::GetConsoleConfig::kNumber, Reply::body(consoleConfigBytes(0xFFFFFFFFu)));
  rpc_ConsoleConfig *reply = sysgetconsoleconfig_1(nullptr, handle());
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->consoleValue5, kAllBits);
  EXPECT_EQ(reply->consoleValue1, -5);
  EXPECT_EQ(reply->errorCode, 1);
  clnt_freeres(handle(), reinterpret_cast<xdrproc_t>(xdr_rpc_ConsoleConfig),
               reinterpret_cast<char *>(reply));
}

}  // namespace
}  // namespace qel::test
