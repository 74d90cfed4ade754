// Single sensors: the re-read after a refused value, the check before thresholds are sent, and
// VRM goodness written to the caller's count.
#include <optional>
#include <string>

#include "server_test.hpp"

namespace qel::test {
namespace {

using SensorValueTest = ServerTest;
constexpr uint32_t kGetValue = 2006, kSetValue = 2007, kSetThresholds = 2016, kGoodness = 2019;
constexpr float kNoReading = -300.0f;

Reply reading(int32_t errorCode, float value) {
  return Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{errorCode, value});
}

TEST_F(SensorValueTest, RefusedValueIsReadAgainOnlyAfterFifteen) {
  struct Case {
    Reply set;
    std::optional<Reply> check;  // the re-read, when one must come
    unsigned int result;
  };
  const Case cases[] = {
      {Reply::integer(0), {}, RESULT_OK},
      {Reply::integer(15), reading(0, kNoReading), RESULT_NOT_AVAILABLE},
      {Reply::integer(15), reading(0, -299.5f), 15},
      {Reply::integer(15), reading(3, kNoReading), 15},
      {Reply::integer(15), reading(0, kNoReading).cutTo(4), 15},
      {Reply::integer(15), Reply::procUnavail(), 15},
      {Reply::integer(15), Reply::drop(), 15},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(&c - cases);
    qelDisconnect();  // a fresh connection: a dropped re-read leaves the last one broken
    server.clearLog();
    server.answerOnce(kSetValue, c.set);
    server.answer(kGetValue, c.check.value_or(reading(0, kNoReading)));
    EXPECT_EQ(qelSysSetSensorValue("psu.fan", 2.0f), c.result);
    EXPECT_EQ(server.callsOf(kGetValue).size(), c.check ? 1u : 0u);
    for (const auto &read : server.callsOf(kGetValue))
      EXPECT_EQ(read.arguments, xdrString("psu.fan"));
    EXPECT_NE(handle(), nullptr) << "a failed re-read keeps the handle";
  }
}

TEST_F(SensorValueTest, ThresholdsAreSentUnlessTheSensorHasNoReading) {
  struct Case {
    Reply check, set;
    unsigned int result;
    bool sent;
  };
  const Case cases[] = {
      {reading(0, 21.0f), Reply::integer(0), RESULT_OK, true},
      {reading(0, -299.5f), Reply::integer(17), 17, true},
      {reading(0, kNoReading), Reply::integer(0), RESULT_NOT_AVAILABLE, false},
      {reading(3, kNoReading), Reply::integer(9), 9, true},
      {reading(0, kNoReading).cutTo(4), Reply::integer(0), RESULT_OK, true},
      {Reply::procUnavail(), Reply::integer(0), RESULT_OK, true},
      // The failed check keeps the handle; the set then finds the connection gone.
      {Reply::drop(), Reply::integer(0), RESULT_CALL_FAILED, false},
  };
  const SensorThresholds thresholds{1, 2, 3, 4, 1.5f, -2.0f, 0.5f, 100.0f};
  for (const Case &c : cases) {
    SCOPED_TRACE(&c - cases);
    qelDisconnect();
    server.clearLog();
    server.answerOnce(kGetValue, c.check);
    server.answer(kSetThresholds, c.set);
    EXPECT_EQ(qelSysSetSensorThresholds("vrm0.vout", &thresholds), c.result);
    ASSERT_EQ(server.callsOf(kGetValue).size(), 1u);
    EXPECT_EQ(server.callsOf(kGetValue)[0].arguments, xdrString("vrm0.vout"));
    EXPECT_EQ(server.callsOf(kSetThresholds).size(), c.sent ? 1u : 0u);
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

}  // namespace
}  // namespace qel::test
