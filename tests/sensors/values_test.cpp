// Single sensors: the re-read after a refused value, the check before thresholds are sent, and
// VRM goodness written to the caller's count.
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

}  // namespace
}  // namespace qel::test
