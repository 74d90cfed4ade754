// The administration records: exact bytes through a stream that grants inline blocks and one
// that refuses them, 32-bit unsigned long fields, the free direction, and replies cut short.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

constexpr Inline kPolicies[] = {Inline::kGranted, Inline::kRefused};

const char *policyName(Inline policy) {
  return policy == Inline::kGranted ? "inline granted" : "inline refused";
}

auto fields(const rpc_ConsoleConfig &r) {
  return std::tie(r.errorCode, r.consoleValue3, r.consoleValue2, r.consoleValue4, r.consoleValue5,
                  r.consoleValue1);
}
auto fields(const rpc_CPUConfig &r) {
  return std::tie(r.cpuValue1, r.cpuValue2, r.cpuValue3, r.cpuValue4, r.cpuValue5);
}
auto fields(const rpc_ProcessInfo &r) { return std::tie(r.pid, r.processTag); }
auto fields(const rpc_PBMstring &r) {
  return std::make_tuple(r.pbmSelector, std::string(r.pbmText != nullptr ? r.pbmText : "(null)"));
}

// One record of any of the four types with the bytes it must travel as.
struct RecordCase {
  std::string name;
  Bytes wire;
  std::function<Bytes(Inline, bool *)> encodeRecord;
  std::function<bool(const Bytes &, Inline)> decodes;
  std::function<bool(const Bytes &, Inline)> decodesBackUnchanged;
};

template <typename T>
RecordCase recordCase(std::string name, bool_t (*codec)(XDR *, T *), T record, Bytes wire) {
  return {std::move(name), std::move(wire),
          [=](Inline policy, bool *ok) { return encode(codec, record, policy, ok); },
          [=](const Bytes &bytes, Inline policy) { return decode(codec, bytes, policy).ok; },
          [=](const Bytes &bytes, Inline policy) {
            auto back = decode(codec, bytes, policy);
            return back.ok && fields(back.value) == fields(record);
          }};
}

char kFiveBytes[] = "abcde";
char kEmpty[] = "";

const RecordCase kRecords[] = {
    recordCase("console in field order", xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 3, 2, 4, 5, 1},
               words({0, 3, 2, 4, 5, 1})),
    recordCase("console extremes", xdr_rpc_ConsoleConfig,
               rpc_ConsoleConfig{6, -3, INT32_MIN, INT32_MAX, 4294967295UL, -1},
               words({6, 0xFFFFFFFD, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF})),
    recordCase("cpu in field order", xdr_rpc_CPUConfig, rpc_CPUConfig{-1, 1, 2, 3, 4},
               words({0xFFFFFFFF, 1, 2, 3, 4})),
    recordCase("cpu unsigned extremes", xdr_rpc_CPUConfig,
               rpc_CPUConfig{0, 4294967295U, 0x80000000U, INT32_MIN, 4294967295U},
               words({0, 0xFFFFFFFF, 0x80000000, 0x80000000, 0xFFFFFFFF})),
    recordCase("pbm text of five bytes", xdr_rpc_PBMstring, rpc_PBMstring{7, kFiveBytes},
               concat({words({7}), xdrString("abcde")})),
    recordCase("pbm empty text", xdr_rpc_PBMstring, rpc_PBMstring{0xFFFFFFFF, kEmpty},
               words({0xFFFFFFFF, 0})),
    recordCase("process with the largest tag", xdr_rpc_ProcessInfo,
               rpc_ProcessInfo{1234, 4294967295UL},
               Bytes{0x00, 0x00, 0x04, 0xD2, 0xFF, 0xFF, 0xFF, 0xFF}),
    recordCase("process negative pid", xdr_rpc_ProcessInfo, rpc_ProcessInfo{-1, 0},
               words({0xFFFFFFFF, 0})),
};

TEST(AdminRecordsTest, EncodeToExactBytesWhetherInlineBlocksAreGrantedOrNot) {
  for (const RecordCase &c : kRecords) {
    for (Inline policy : kPolicies) {
      SCOPED_TRACE(c.name + ", " + policyName(policy));
      bool ok = false;
      EXPECT_EQ(c.encodeRecord(policy, &ok), c.wire);
      EXPECT_TRUE(ok);
    }
  }
}

TEST(AdminRecordsTest, DecodeBackUnchangedWhetherInlineBlocksAreGrantedOrNot) {
  for (const RecordCase &c : kRecords) {
    for (Inline policy : kPolicies) {
      SCOPED_TRACE(c.name + ", " + policyName(policy));
      EXPECT_TRUE(c.decodesBackUnchanged(c.wire, policy));
    }
  }
}

TEST(AdminRecordsTest, EveryRecordCutShortFailsToDecode) {
  for (const RecordCase &c : kRecords) {
    for (Inline policy : kPolicies) {
      for (std::size_t keep = 0; keep < c.wire.size(); ++keep) {
        SCOPED_TRACE(c.name + ", " + policyName(policy) + ", kept " + std::to_string(keep));
        EXPECT_FALSE(c.decodes(Bytes(c.wire.begin(), c.wire.begin() + keep), policy));
      }
    }
  }
}

// On a host with a 64-bit unsigned long, bits above the low 32 cannot travel; both codec paths
// must agree on sending the low 32 rather than one of them failing.
TEST(AdminRecordsTest, UnsignedLongFieldsSendTheirLow32Bits) {
  if constexpr (sizeof(unsigned long) > 4) {
    const unsigned long wide = static_cast<unsigned long>(0x100000005ULL);
    for (Inline policy : kPolicies) {
      SCOPED_TRACE(policyName(policy));
      EXPECT_EQ(encode(xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 0, 0, 0, wide, 0}, policy),
                words({0, 0, 0, 0, 5, 0}));
      EXPECT_EQ(encode(xdr_rpc_ProcessInfo, rpc_ProcessInfo{1, wide}, policy), words({1, 5}));
    }
  } else {
    GTEST_SKIP() << "unsigned long is 32 bits wide here";
  }
}

TEST(AdminRecordsTest, FreeingADecodedPbmStringReleasesItsText) {
  auto back = decode(xdr_rpc_PBMstring, concat({words({3}), xdrString("held")}));
  ASSERT_TRUE(back.ok);
  ASSERT_NE(back->pbmText, nullptr);
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_rpc_PBMstring), reinterpret_cast<char *>(&back.value));
  EXPECT_EQ(back->pbmText, nullptr);
}

TEST(AdminRecordsTest, NullPbmTextCannotBeEncoded) {
  for (Inline policy : kPolicies) {
    bool ok = true;
    encode(xdr_rpc_PBMstring, rpc_PBMstring{1, nullptr}, policy, &ok);
    EXPECT_FALSE(ok) << policyName(policy);
  }
}

}  // namespace
}  // namespace qel::test
