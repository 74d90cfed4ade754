// SPDX-License-Identifier: Apache-2.0
// The sensor operations' own rules: the re-read after a refused value and the check before
// thresholds are sent, VRM goodness written to the caller's count, descriptions cut to their
// fields, lists of caller-owned copies, and which fan positions reach the caller.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "server_test.hpp"

namespace qel::test {
namespace {

using SensorValueTest = ServerTest;
using CatalogueTest = ServerTest;
using FanTest = ServerTest;
constexpr uint32_t kInfo = 1500, kList = 1501, kGetValue = 2006, kSetValue = 2007,
                   kSetThresholds = 2016, kGoodness = 2019, kFan = 4002;
constexpr float kNoReading = -300.0f;

Reply reading(int32_t errorCode, float value) {
  return Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{errorCode, value});
}

// A value refused with 15 is read again, to tell a sensor with no reading (5) from a refused value;
// thresholds are sent only to a sensor that does not read -300 with errorCode 0.
struct CheckCase {
  bool thresholds;  // qelSysSetSensorThresholds, else qelSysSetSensorValue
  Reply read, set;
  unsigned int result;
  std::size_t reads, sets;
};

TEST_F(SensorValueTest, ReadingChecksAroundSets) {
  const Reply none = reading(0, kNoReading), cut = none.cutTo(4);
  // clang-format off
  const CheckCase cases[] = {
      {false, none, Reply::integer(0), RESULT_OK, 0, 1},
      {false, none, Reply::integer(15), RESULT_NOT_AVAILABLE, 1, 1},
      {false, reading(0, -299.5f), Reply::integer(15), 15, 1, 1},
      {false, reading(3, kNoReading), Reply::integer(15), 15, 1, 1},
      {false, cut, Reply::integer(15), 15, 1, 1},
      {false, Reply::procUnavail(), Reply::integer(15), 15, 1, 1},
      {false, Reply::drop(), Reply::integer(15), 15, 1, 1},  // the handle stays
      {true, reading(0, 21.0f), Reply::integer(0), RESULT_OK, 1, 1},
      {true, reading(0, -299.5f), Reply::integer(17), 17, 1, 1},
      {true, none, Reply::integer(0), RESULT_NOT_AVAILABLE, 1, 0},
      {true, reading(3, kNoReading), Reply::integer(9), 9, 1, 1},
      {true, cut, Reply::integer(0), RESULT_OK, 1, 1},
      {true, Reply::procUnavail(), Reply::integer(0), RESULT_OK, 1, 1},
      // The failed check keeps the handle; the set then finds the connection gone.
      {true, Reply::drop(), Reply::integer(0), RESULT_CALL_FAILED, 1, 0},
  };
  // clang-format on
  const SensorThresholds thresholds{1, 2, 3, 4, 1.5f, -2.0f, 0.5f, 100.0f};
  for (const CheckCase &c : cases) {
    SCOPED_TRACE(&c - cases);
    qelDisconnect();  // a fresh connection: a dropped read leaves the last one broken
    server.clearLog();
    server.answer(kGetValue, c.read);
    const uint32_t setProcedure = c.thresholds ? kSetThresholds : kSetValue;
    server.answer(setProcedure, c.set);
    EXPECT_EQ(c.thresholds ? qelSysSetSensorThresholds("psu.fan", &thresholds)
                           : qelSysSetSensorValue("psu.fan", 2.0f),
              c.result);
    EXPECT_EQ(server.callsOf(kGetValue).size(), c.reads);
    for (const auto &read : server.callsOf(kGetValue))
      EXPECT_EQ(read.arguments, xdrString("psu.fan"));
    EXPECT_EQ(server.callsOf(setProcedure).size(), c.sets);
    EXPECT_TRUE(c.thresholds || handle() != nullptr) << "a failed re-read keeps the handle";
  }
}

TEST_F(SensorValueTest, GoodnessWritesExactlyTheCallersCount) {
  const int served[] = {11, -22, 33, 44};
  for (u_int serverCount : {0u, 2u, 4u}) {
    for (unsigned int count : {0u, 2u, 6u}) {
      SCOPED_TRACE("server " + std::to_string(serverCount) + ", caller " + std::to_string(count));
      rpc_SysGetVRMGoodness reply{0, serverCount, const_cast<int *>(served)};
      server.answerOnce(kGoodness, Reply::record(xdr_rpc_SysGetVRMGoodness, reply));
      int values[8] = {-7, -7, -7, -7, -7, -7, -7, -7};
      EXPECT_EQ(qelSysGetVRMGoodness(-3, count, values), RESULT_OK);
      for (unsigned int i = 0; i < 8; ++i) {
        EXPECT_EQ(values[i], i >= count ? -7 : i < serverCount ? served[i] : 0) << "index " << i;
      }
    }
  }
  server.answerOnce(kGoodness, Reply::body(words({0, 2, 5, 6})));
  EXPECT_EQ(qelSysGetVRMGoodness(0, 0, nullptr), RESULT_OK) << "no room wanted, none used";
}

TEST_F(CatalogueTest, EveryTextIsCutToItsFieldLessOneAndPaddedWithNuls) {
  const std::size_t sizes[] = {32, 64, 128, 32, 64, 32, 128};
  // intValue1, intValue2, realValue1 to 3 (-0.0, 1.5, -300.0), intValue3 to 5
  const uint32_t numbers[] = {0xFFFFFFFF, 0x80000000, 0x80000000, 0x3FC00000,
                              0xC3960000, 7,          0x7FFFFFFF, 0};
  for (int over : {-200, -1, 0, 9}) {  // the texts' lengths against their fields
    SCOPED_TRACE(over);
    Bytes reply = words({0});
    std::string texts[7];
    for (int f = 0; f < 7; ++f) {
      texts[f] = std::string(std::max<int>(0, int(sizes[f]) + over), char('a' + f));
      reply = concat({reply, xdrString(texts[f])});
    }
    for (uint32_t number : numbers) reply = concat({reply, words({number})});
    server.answerOnce(kInfo, Reply::body(reply));
    SensorInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(qelGetSensorInfo("fan.3", &info), RESULT_OK);
    const char *fields[] = {info.text1, info.text2, info.text3, info.text4,
                            info.text5, info.text6, info.text7};
    for (int f = 0; f < 7; ++f) {
      const std::size_t kept = std::min(texts[f].size(), sizes[f] - 1);
      EXPECT_EQ(std::string(fields[f], sizes[f]),
                texts[f].substr(0, kept) + std::string(sizes[f] - kept, 0))
          << f;
    }
    EXPECT_EQ(std::memcmp(&info.intValue1, numbers, sizeof numbers), 0) << "copied bit for bit";
  }
}

TEST_F(CatalogueTest, ListGivesIndependentCopiesInReplyOrder) {
  const std::vector<std::vector<std::string>> lists = {{}, {"cpu0.temp", "", "fan.1"}};
  for (const auto &ids : lists) {
    Bytes reply = words({0, static_cast<uint32_t>(ids.size())});
    for (const std::string &id : ids) reply = concat({reply, xdrString(id)});
    server.answerOnce(kList, Reply::body(reply));
    unsigned int count = 12345;
    char **list = nullptr;
    ASSERT_EQ(qelGetSensorList(-4, 9, &count, &list), RESULT_OK);
    ASSERT_EQ(count, ids.size());
    ASSERT_NE(list, nullptr) << "an empty list is still an array to free";
    for (unsigned int i = 0; i < count; ++i) {
      EXPECT_EQ(list[i], ids[i]);
      std::free(list[i]);
    }
    std::free(list);
  }
}

// Position p of the reply holds 1000 + p, but for errorCode and entryCount.
Reply fanReply(int32_t entryCount) {
  Bytes bytes =
      words({0, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, static_cast<uint32_t>(entryCount)});
  for (uint32_t i = 10; i < 26; ++i) bytes = concat({bytes, words({1000 + i})});
  return Reply::body(bytes);
}

// The caller's record, with room after it that no copy may reach.
struct Guarded {
  FanState state;
  int after[16];
};

TEST_F(FanTest, CopiesTheCountedEntriesSkipsPositionSixAndRefusesWhatNoRecordHolds) {
  for (int count : {0, 3, 16, 17, INT_MAX, -1, INT_MIN}) {
    SCOPED_TRACE("entryCount " + std::to_string(count));
    server.answerOnce(kFan, fanReply(count));
    Guarded guarded;
    std::memset(&guarded, 0x5A, sizeof guarded);
    const Guarded before = guarded;
    const FanState &state = guarded.state;
    if (count < 0 || count > 16) {
      EXPECT_EQ(qelGetFanState(&guarded.state), RESULT_INVALID_ARGUMENT);
      EXPECT_EQ(std::memcmp(&guarded, &before, sizeof before), 0) << "nothing written";
      continue;
    }
    ASSERT_EQ(qelGetFanState(&guarded.state), RESULT_OK);
    const int scalars[] = {state.debugValue1, state.debugValue2, state.debugValue3,
                           state.debugValue4, state.debugValue5, state.debugValue7,
                           state.debugValue8, state.entryCount};
    const int expected[] = {1001, 1002, 1003, 1004, 1005, 1007, 1008, count};
    EXPECT_EQ(std::memcmp(scalars, expected, sizeof expected), 0);
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(state.entries[i], i < count ? 1010 + i : 0x5A5A5A5A) << "entry " << i;
    }
    EXPECT_EQ(std::memcmp(guarded.after, before.after, sizeof before.after), 0);
  }
}

}  // namespace
}  // namespace qel::test
