// Sensor and fan records against their exact bytes, through streams that grant and refuse
// inline blocks, and the replies that must fail to decode.
#include <gtest/gtest.h>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

constexpr Inline kPolicies[] = {Inline::kGranted, Inline::kRefused};

// 1.5, -300.0, 2.0, 0.5 and -1.0 as single-precision bits.
constexpr uint32_t kOneAndHalf = 0x3FC00000, kNoReading = 0xC3960000, kTwo = 0x40000000,
                   kHalf = 0x3F000000, kMinusOne = 0xBF800000;

// The record encodes to exactly `expected` on both kinds of stream, and those bytes decode
// back to a record that encodes to them again.
template <typename T>
void expectExactBytes(bool_t (*codec)(XDR *, T *), const T &record, const Bytes &expected) {
  for (Inline policy : kPolicies) {
    SCOPED_TRACE(policy == Inline::kGranted ? "inline granted" : "inline refused");
    bool ok = false;
    EXPECT_EQ(encode(codec, record, policy, &ok), expected);
    EXPECT_TRUE(ok);
    Decoded<T> back = decode(codec, expected, policy);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(encode(codec, back.value, policy), expected);
  }
}

// Runs the codec in the free direction, as the release of a reply does.
template <typename T>
bool freeSucceeds(bool_t (*codec)(XDR *, T *), T record) {
  XDR xdrs{};
  xdrs.x_op = XDR_FREE;
  return codec(&xdrs, &record) != 0;
}

template <typename T>
void expectDecodeFails(bool_t (*codec)(XDR *, T *), const Bytes &bytes) {
  for (Inline policy : kPolicies) EXPECT_FALSE(decode(codec, bytes, policy).ok);
}

const Bytes kProductId = xdrString("product-id");

TEST(SensorRecords, SetRequestsCarryTheIdentifierThenTheirValues) {
  char id[] = "product-id";
  char empty[] = "";
  ASSERT_EQ(kProductId.size(), 16u);
  {
    SCOPED_TRACE("value set");
    expectExactBytes(xdr_rpc_SysSetSensorInfo, rpc_SysSetSensorInfo{id, 1.5f},
                     concat({kProductId, words({kOneAndHalf})}));
    expectExactBytes(xdr_rpc_SysSetSensorInfo, rpc_SysSetSensorInfo{empty, -300.0f},
                     words({0, kNoReading}));
  }
  {
    SCOPED_TRACE("threshold set");
    rpc_SysSetSensorThresh set{id, {1.5f, 2.0f, 0.5f, -1.0f, 200, 0, 255, 1}};
    expectExactBytes(
        xdr_rpc_SysSetSensorThresh, set,
        concat({kProductId, words({kOneAndHalf, kTwo, kHalf, kMinusOne, 200, 0, 255, 1})}));
  }
}

TEST(SensorRecords, NullIdentifierCannotBeEncoded) {
  for (Inline policy : kPolicies) {
    bool ok = true;
    encode(xdr_rpc_SysSetSensorInfo, rpc_SysSetSensorInfo{nullptr, 1.0f}, policy, &ok);
    EXPECT_FALSE(ok);
    encode(xdr_rpc_SysSetSensorThresh, rpc_SysSetSensorThresh{nullptr, {}}, policy, &ok);
    EXPECT_FALSE(ok);
  }
}

TEST(SensorRecords, ThresholdFlagsTravelAsNonNegativeIntegersAndKeepTheLowByte) {
  const rpc_SysGetSensorThresh record{-7, {0.5f, 1.5f, 2.0f, -300.0f, 200, 255, 0, 127}};
  expectExactBytes(
      xdr_rpc_SysGetSensorThresh, record,
      words({static_cast<uint32_t>(-7), kHalf, kOneAndHalf, kTwo, kNoReading, 200, 255, 0, 127}));
  EXPECT_EQ(encode(xdr_rpc_SysSensorThresholds, record.thresholds).size(), 32u);

  for (Inline policy : kPolicies) {
    Decoded<rpc_SysGetSensorThresh> wide =
        decode(xdr_rpc_SysGetSensorThresh,
               words({0, kOneAndHalf, 0, 0, 0, 0x1FF, 0x100, 0xFFFFFFFF, 7}), policy);
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(wide->thresholds.threshold1, 1.5f);
    EXPECT_EQ(wide->thresholds.thresholdFlag1, 0xFF);
    EXPECT_EQ(wide->thresholds.thresholdFlag2, 0x00);
    EXPECT_EQ(wide->thresholds.thresholdFlag3, 0xFF);
    EXPECT_EQ(wide->thresholds.thresholdFlag4, 7);
  }
  expectDecodeFails(xdr_rpc_SysGetSensorThresh, words({0, 0, 0, 0, 0, 1, 2, 3}));
}

TEST(SensorRecords, GoodnessHoldsAtMostFourValues) {
  int values[] = {11, -22, 33, 44};
  for (u_int count : {0u, 2u, 4u}) {
    SCOPED_TRACE("count " + std::to_string(count));
    Bytes expected = words({3, count});
    for (u_int i = 0; i < count; ++i) {
      expected = concat({expected, encodeInt(values[i])});
    }
    expectExactBytes(xdr_rpc_SysGetVRMGoodness, rpc_SysGetVRMGoodness{3, count, values}, expected);
  }
  Decoded<rpc_SysGetVRMGoodness> empty = decode(xdr_rpc_SysGetVRMGoodness, words({0, 0}));
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty->goodnessCount, 0u);

  expectDecodeFails(xdr_rpc_SysGetVRMGoodness, words({0, 5, 1, 2, 3, 4, 5}));
  expectDecodeFails(xdr_rpc_SysGetVRMGoodness, words({0, 3, 1, 2}));
  bool ok = true;
  int five[] = {1, 2, 3, 4, 5};
  encode(xdr_rpc_SysGetVRMGoodness, rpc_SysGetVRMGoodness{0, 5, five}, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
}

TEST(SensorRecords, SensorInfoIsSevenTextsThenEightNumbers) {
  char t1[] = "fan", t2[] = "", t3[] = "rpm", t4[] = "abcd", t5[] = "x", t6[] = "yz", t7[] = "z";
  const rpc_SensorInfo record{0,  t1, t2,   t3,      t4,   t5, t6,        t7,
                              -1, 2,  1.5f, -300.0f, 0.5f, 7,  INT32_MIN, INT32_MAX};
  expectExactBytes(
      xdr_rpc_SensorInfo, record,
      concat({words({0}), xdrString("fan"), xdrString(""), xdrString("rpm"), xdrString("abcd"),
              xdrString("x"), xdrString("yz"), xdrString("z"),
              words({0xFFFFFFFF, 2, kOneAndHalf, kNoReading, kHalf, 7, 0x80000000, 0x7FFFFFFF})}));
  Bytes cut = encode(xdr_rpc_SensorInfo, record);
  cut.resize(cut.size() - 4);
  expectDecodeFails(xdr_rpc_SensorInfo, cut);
}

TEST(SensorRecords, SensorListRequestAndReply) {
  expectExactBytes(xdr_rpc_SensorList, rpc_SensorList{-1, 42}, words({0xFFFFFFFF, 42}));

  char a[] = "cpu0.temp", b[] = "", c[] = "fan.1";
  rpc_SensorListIDList ids[] = {{a}, {b}, {c}};
  expectExactBytes(
      xdr_rpc_SensorListReturn, rpc_SensorListReturn{0, 3, ids},
      concat({words({0, 3}), xdrString("cpu0.temp"), xdrString(""), xdrString("fan.1")}));
  expectExactBytes(xdr_rpc_SensorListIDList, ids[0], xdrString("cpu0.temp"));

  Decoded<rpc_SensorListReturn> none = decode(xdr_rpc_SensorListReturn, words({6, 0}));
  ASSERT_TRUE(none.ok);
  EXPECT_EQ(none->errorCode, 6);
  EXPECT_EQ(none->sensorIdCount, 0u);
}

TEST(SensorRecords, SensorListReplyCutShortFails) {
  expectDecodeFails(xdr_rpc_SensorListReturn,
                    concat({words({0, 3}), xdrString("cpu0.temp"), xdrString("")}));
  // A count far beyond what arrived fails on the data, not on allocating for the count.
  expectDecodeFails(xdr_rpc_SensorListReturn, concat({words({0, 0xFFFFFFF0}), xdrString("a")}));
  expectDecodeFails(xdr_rpc_SensorListReturn, words({0, 1, 8, 0x61626364}));
}

TEST(SensorRecords, NeverFilledRepliesFreeCleanly) {
  EXPECT_TRUE(freeSucceeds(xdr_rpc_SensorInfo, rpc_SensorInfo{}));
  EXPECT_TRUE(freeSucceeds(xdr_rpc_SensorListReturn, rpc_SensorListReturn{}));
  EXPECT_TRUE(freeSucceeds(xdr_rpc_SysGetVRMGoodness, rpc_SysGetVRMGoodness{}));
  EXPECT_TRUE(freeSucceeds(xdr_rpc_SysSetSensorInfo, rpc_SysSetSensorInfo{}));
  EXPECT_TRUE(freeSucceeds(xdr_rpc_SysSetSensorThresh, rpc_SysSetSensorThresh{}));
  EXPECT_TRUE(freeSucceeds(xdr_rpc_FanDebugState, rpc_FanDebugState{}));
}

TEST(FanRecord, WholeRecordIsTwentySixWordsWhateverTheStream) {
  rpc_FanDebugState fan{};
  int next = -3;
  for (int *field :
       {&fan.errorCode, &fan.debugValue1, &fan.debugValue2, &fan.debugValue3, &fan.debugValue4,
        &fan.debugValue5, &fan.debugValue6, &fan.debugValue7, &fan.debugValue8, &fan.entryCount}) {
    *field = next++;
  }
  for (int &entry : fan.entries) entry = 100 * next++;
  Bytes expected;
  for (int value = -3; value < 7; ++value) expected = concat({expected, encodeInt(value)});
  for (int value = 7; value < 23; ++value) expected = concat({expected, encodeInt(100 * value)});
  ASSERT_EQ(expected.size(), 104u);
  expectExactBytes(xdr_rpc_FanDebugState, fan, expected);

  for (Inline policy : kPolicies) {
    Decoded<rpc_FanDebugState> back = decode(xdr_rpc_FanDebugState, expected, policy);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back->debugValue6, 3);
    EXPECT_EQ(back->entryCount, 6);
    EXPECT_EQ(back->entries[15], 2200);
  }
  expected.resize(100);
  expectDecodeFails(xdr_rpc_FanDebugState, expected);
}

}  // namespace
}  // namespace qel::test
