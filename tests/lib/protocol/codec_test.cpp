// SPDX-License-Identifier: Apache-2.0
// Record codecs against bytes written out by hand: the same bytes whether the stream grants
// inline blocks or not, decoded back to the same record, every cut fails, the free direction
// leaves nothing to free twice; then the narrowed flags. One row per kind of field (texts,
// floats, 32-bit unsigned longs, arrays, nested records, extreme values) and the record no
// operation sends; the exact bytes of every other request are the catalogue's.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

struct CodecCase {
  std::string name;
  xdrproc_t codec;
  std::function<const void *()> record;  // null for a decode-only case
  Bytes bytes;
};

template <typename T>
CodecCase row(const char *name, bool_t (*codec)(XDR *, T *), T record, Bytes bytes) {
  auto held = std::make_shared<T>(record);
  return {name, reinterpret_cast<xdrproc_t>(codec), [held] { return held.get(); },
          std::move(bytes)};
}

char *t(const char *text) { return const_cast<char *>(text); }
Bytes s(const std::string &text) { return xdrString(text); }
constexpr uint32_t kHalf = 0x3F000000, kOneAndHalf = 0x3FC00000, kTwo = 0x40000000,
                   kSentinel = 0xC3960000;

std::vector<CodecCase> wholeRecords() {
  static unsigned char hardware[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  static int goodness[] = {1, -2, 3};
  static rpc_SensorListIDList ids[] = {{t("cpu0.temp")}, {t("")}};
  rpc_IPState ip{{7, 9}, -2,  0x0A000002, 0xFFFFFF00, 0xC0A80001, 1,        0,
                 2,      255, 1,          t("eth0"),  6,          hardware, t("abc")};
  rpc_FanDebugState fan{-1, 1, 2, 3, 4, 5, 6, 7, 8, 16, {}};
  Bytes fanBytes = words({0xFFFFFFFF, 1, 2, 3, 4, 5, 6, 7, 8, 16});
  for (int i = 0; i < 16; ++i) {
    fan.entries[i] = 100 * i - 1;
    fanBytes = concat({fanBytes, encodeInt(100 * i - 1)});
  }
  return {
      row("StringAndEC", xdr_rpc_StringAndEC, {-1, t("abcde")},
          words({0xFFFFFFFF, 5, 0x61626364, 0x65000000})),
      row("FloatAndEC", xdr_rpc_FloatAndEC, {12, -300.0f}, words({12, kSentinel})),
      row("MountInfo", xdr_rpc_MountInfo, {-7, t("a"), t(""), 0, 0xFFFFFFFFul, t("abcd"), t("x")},
          concat({words({0xFFFFFFF9}), s("a"), s(""), words({0, 0xFFFFFFFF}), s("abcd"), s("x")})),
      row("IPState", xdr_rpc_IPState, ip,
          concat({words({7, 9, 0xFFFFFFFE, 0x0A000002, 0xFFFFFF00, 0xC0A80001, 1, 0, 2, 255, 1}),
                  s("eth0"), words({6, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}), s("abc")})),
      row("SysGetSensorThresh", xdr_rpc_SysGetSensorThresh,
          {-7, {0.5f, 1.5f, 2.0f, -300.0f, 200, 255, 0, 127}},
          words({0xFFFFFFF9, kHalf, kOneAndHalf, kTwo, kSentinel, 200, 255, 0, 127})),
      row("SysGetVRMGoodness", xdr_rpc_SysGetVRMGoodness, {3, 3, goodness},
          words({3, 3, 1, 0xFFFFFFFE, 3})),
      row("SensorInfo", xdr_rpc_SensorInfo,
          {0, t("fan"), t(""), t("rpm"), t("abcd"), t("x"), t("yz"), t("z"), -1, 2, 1.5f, -300.0f,
           0.5f, 7, INT32_MIN, INT32_MAX},
          concat(
              {words({0}), s("fan"), s(""), s("rpm"), s("abcd"), s("x"), s("yz"), s("z"),
               words({0xFFFFFFFF, 2, kOneAndHalf, kSentinel, kHalf, 7, 0x80000000, 0x7FFFFFFF})})),
      row("SensorListReturn", xdr_rpc_SensorListReturn, {0, 2, ids},
          concat({words({0, 2}), s("cpu0.temp"), s("")})),
      row("FanDebugState", xdr_rpc_FanDebugState, fan, fanBytes),
      row("ConsoleConfig", xdr_rpc_ConsoleConfig, {6, -3, INT32_MIN, INT32_MAX, 0xFFFFFFFFul, -1},
          words({6, 0xFFFFFFFD, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF})),
      row("ProcessInfo", xdr_rpc_ProcessInfo, {-1, 0xFFFFFFFFul}, words({0xFFFFFFFF, 0xFFFFFFFF})),
      row("ProcessInfo, tag past 32 bits", xdr_rpc_ProcessInfo,
          {1, static_cast<unsigned long>(0x100000005ull)}, words({1, 5})),
  };
}

// Decodes `bytes` into zeroed room for any record; the decoded record is freed twice, which
// only works when the first free left every pointer null.
struct DecodedRecord {
  explicit DecodedRecord(xdrproc_t c) : codec(c) {}
  ~DecodedRecord() {
    xdr_free(codec, reinterpret_cast<char *>(room));
    xdr_free(codec, reinterpret_cast<char *>(room));
  }
  xdrproc_t codec;
  alignas(16) unsigned char room[512] = {};
};

TEST(Codecs, ExactBytesBothWaysThroughEitherStreamAndEveryCutFails) {
  for (const CodecCase &c : wholeRecords()) {
    for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
      SCOPED_TRACE(c.name + (policy == Inline::kGranted ? ", inline" : ", primitives"));
      bool ok = false;
      EXPECT_EQ(encodeWith(c.codec, c.record(), policy, &ok), c.bytes);
      EXPECT_TRUE(ok);
      DecodedRecord back(c.codec);
      ASSERT_TRUE(decodeWith(c.codec, back.room, c.bytes, policy));
      EXPECT_EQ(encodeWith(c.codec, back.room, Inline::kGranted), c.bytes);
      for (std::size_t keep = 0; keep < c.bytes.size(); ++keep) {
        DecodedRecord cut(c.codec);
        EXPECT_FALSE(
            decodeWith(c.codec, cut.room, Bytes(c.bytes.begin(), c.bytes.begin() + keep), policy))
            << "cut to " << keep;
      }
    }
  }
}

// Flags arrive as words and keep their low byte; a text announcing the largest length fails.
// (The operations' tables check the other flags and bounds through the library.)
TEST(Codecs, FlagsKeepTheirLowByteAndTheLargestLengthFails) {
  const auto thresholds = reinterpret_cast<xdrproc_t>(xdr_rpc_SysGetSensorThresh);
  const auto text = reinterpret_cast<xdrproc_t>(xdr_rpc_StringAndEC);
  for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
    DecodedRecord record(thresholds), none(text);
    ASSERT_TRUE(decodeWith(thresholds, record.room,
                           words({0, kOneAndHalf, 0, 0, 0, 0x1FF, 0x100, 0xFFFFFFFF, 7}), policy));
    EXPECT_EQ(encodeWith(thresholds, record.room, policy),
              words({0, kOneAndHalf, 0, 0, 0, 255, 0, 255, 7}));
    EXPECT_FALSE(decodeWith(text, none.room, words({0, 0xFFFFFFFF, 0}), policy));
  }
}

}  // namespace
}  // namespace qel::test
