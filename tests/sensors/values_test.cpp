// Single sensors end to end: reading and setting values, thresholds and VRM goodness, the
// remote calls each makes and what a failing or misbehaving server gives.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/procedures.hpp"
#include "sensor_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kGetValue = proc::GetSensorValue::kNumber;
constexpr uint32_t kSetValue = proc::SetSensorValue::kNumber;
constexpr uint32_t kSetThresholds = proc::SetSensorThresholds::kNumber;
constexpr uint32_t kGetThresholds = proc::GetSensorThresholds::kNumber;
constexpr uint32_t kGoodness = proc::GetVRMGoodness::kNumber;

// The server's answer to a value it did not take.
constexpr int32_t kNotTaken = 15;
constexpr float kNoReading = -300.0f;

Reply reading(int32_t errorCode, float value) {
  return Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{errorCode, value});
}

using SensorValueTest = SensorTest;

TEST_F(SensorValueTest, GetValueWritesOnlyOnSuccessAndOnlyWhenAsked) {
  struct Case {
    const char *name;
    Reply reply;
    bool wantValue;
    unsigned int result;
    float stored;  // what *value holds afterwards; it starts at 42
    bool keepsHandle;
  };
  const Case cases[] = {
      {"value", reading(0, 1.5f), true, RESULT_OK, 1.5f, true},
      {"no reading is still a value", reading(0, kNoReading), true, RESULT_OK, kNoReading, true},
      {"server refuses", reading(7, 1.5f), true, 7, 42.0f, true},
      {"no output wanted", reading(0, 1.5f), false, RESULT_OK, 42.0f, true},
      {"refused, no output", reading(-2, 1.5f), false, static_cast<unsigned int>(-2), 42.0f, true},
      {"reply cut short", reading(0, 1.5f).cutTo(6), true, RESULT_CALL_FAILED, 42.0f, false},
      {"connection dropped", Reply::drop(), true, RESULT_CALL_FAILED, 42.0f, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.answerOnce(kGetValue, c.reply);
    float value = 42.0f;
    EXPECT_EQ(qelSysGetSensorValue("cpu0.temp", c.wantValue ? &value : nullptr), c.result);
    EXPECT_EQ(value, c.stored);
    EXPECT_EQ(handle() != nullptr, c.keepsHandle);
  }
  EXPECT_EQ(server.callsOf(kGetValue).back().arguments, xdrString("cpu0.temp"));
}

TEST_F(SensorValueTest, SetValueReadsTheSensorOnlyAfterFifteen) {
  struct Case {
    const char *name;
    Reply set;
    std::optional<Reply> check;  // the follow-up read, when one is scripted
    unsigned int result;
    std::size_t reads;
    bool keepsHandle;
  };
  const Case cases[] = {
      {"taken", Reply::integer(0), std::nullopt, RESULT_OK, 0, true},
      {"refused", Reply::integer(17), std::nullopt, 17, 0, true},
      {"negative refusal unchanged", Reply::integer(-5), std::nullopt,
       static_cast<unsigned int>(-5), 0, true},
      {"15, sensor has no reading", Reply::integer(kNotTaken), reading(0, kNoReading),
       RESULT_NOT_AVAILABLE, 1, true},
      {"15, sensor reads nearby", Reply::integer(kNotTaken), reading(0, -299.5f), 15, 1, true},
      {"15, read refused", Reply::integer(kNotTaken), reading(3, kNoReading), 15, 1, true},
      {"15, read cut short", Reply::integer(kNotTaken), reading(0, kNoReading).cutTo(4), 15, 1,
       true},
      {"15, read unavailable", Reply::integer(kNotTaken), Reply::procUnavail(), 15, 1, true},
      {"15, connection dropped on the read", Reply::integer(kNotTaken), Reply::drop(), 15, 1, true},
      {"set cut short", Reply::integer(0).cutTo(2), std::nullopt, RESULT_CALL_FAILED, 0, false},
      {"set dropped", Reply::drop(), std::nullopt, RESULT_CALL_FAILED, 0, false},
  };
  char id[] = "psu.fan";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    qelDisconnect();  // a fresh connection: a read may leave the last one broken
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.clearLog();
    server.answerOnce(kSetValue, c.set);
    server.answer(kGetValue, c.check.value_or(reading(0, kNoReading)));
    EXPECT_EQ(qelSysSetSensorValue(id, 2.0f), c.result);
    EXPECT_EQ(server.callsOf(kSetValue).size(), 1u);
    ASSERT_EQ(server.callsOf(kGetValue).size(), c.reads);
    if (c.reads > 0) {
      EXPECT_EQ(server.callsOf(kGetValue)[0].arguments, xdrString(id));
    }
    EXPECT_EQ(handle() != nullptr, c.keepsHandle);
    Decoded<rpc_SysSetSensorInfo> sent = server.lastArgument(kSetValue, xdr_rpc_SysSetSensorInfo);
    ASSERT_TRUE(sent.ok);
    EXPECT_STREQ(sent->sensorId, id);
    EXPECT_EQ(sent->value, 2.0f);
  }
}

TEST_F(SensorValueTest, SetThresholdsChecksTheSensorFirst) {
  struct Case {
    const char *name;
    Reply check;
    Reply set;
    unsigned int result;
    std::size_t sets;
    bool keepsHandle;
  };
  const Case cases[] = {
      {"reads, set taken", reading(0, 21.0f), Reply::integer(0), RESULT_OK, 1, true},
      {"reads, set refused", reading(0, -299.5f), Reply::integer(17), 17, 1, true},
      {"reads, set refused negative", reading(0, 0.0f), Reply::integer(-1),
       static_cast<unsigned int>(-1), 1, true},
      {"no reading", reading(0, kNoReading), Reply::integer(0), RESULT_NOT_AVAILABLE, 0, true},
      {"read refused", reading(3, kNoReading), Reply::integer(9), 9, 1, true},
      {"read cut short", reading(0, kNoReading).cutTo(4), Reply::integer(0), RESULT_OK, 1, true},
      {"read unavailable", Reply::procUnavail(), Reply::integer(0), RESULT_OK, 1, true},
      {"set cut short", reading(0, 1.0f), Reply::integer(0).cutTo(2), RESULT_CALL_FAILED, 1, false},
      {"set dropped", reading(0, 1.0f), Reply::drop(), RESULT_CALL_FAILED, 1, false},
  };
  const SensorThresholds thresholds{0x101, 255, 0x1FF, -1, 1.5f, -2.0f, 0.5f, 100.0f};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.clearLog();
    server.answerOnce(kGetValue, c.check);
    server.answer(kSetThresholds, c.set);
    EXPECT_EQ(qelSysSetSensorThresholds("vrm0.vout", &thresholds), c.result);
    ASSERT_EQ(server.callsOf(kGetValue).size(), 1u);
    EXPECT_EQ(server.callsOf(kGetValue)[0].arguments, xdrString("vrm0.vout"));
    ASSERT_EQ(server.callsOf(kSetThresholds).size(), c.sets);
    EXPECT_EQ(handle() != nullptr, c.keepsHandle);
    if (c.sets == 0) continue;
    EXPECT_EQ(server.callsOf(kSetThresholds)[0].arguments,
              concat({xdrString("vrm0.vout"),
                      words({0x3FC00000, 0xC0000000, 0x3F000000, 0x42C80000, 1, 255, 255, 255})}))
        << "values first, then only the low byte of each flag";
  }
}

TEST_F(SensorValueTest, SetThresholdsGoesAheadWhenTheConnectionDiesOnTheCheck) {
  // The failed check keeps the handle; the set then finds the connection gone.
  server.answerOnce(kGetValue, Reply::drop());
  server.answer(kSetThresholds, Reply::integer(0));
  const SensorThresholds thresholds{};
  EXPECT_EQ(qelSysSetSensorThresholds("vrm0.vout", &thresholds), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(qelSysSetSensorThresholds("vrm0.vout", &thresholds), RESULT_OK);
}

TEST_F(SensorValueTest, GetThresholdsWidensFlagsAndLeavesTheRecordAloneOnFailure) {
  const SensorThresholds untouched{-9, -9, -9, -9, -9.0f, -9.0f, -9.0f, -9.0f};
  struct Case {
    const char *name;
    Reply reply;
    unsigned int result;
    SensorThresholds expected;
  };
  const Case cases[] = {
      {"flags widened unsigned",
       Reply::body(words({0, 0x3FC00000, 0x40000000, 0xC3960000, 0, 0xFF, 0x1FF, 0x80, 0})),
       RESULT_OK,
       {255, 255, 128, 0, 1.5f, 2.0f, kNoReading, 0.0f}},
      {"server refuses", Reply::body(words({6, 0x3FC00000, 0, 0, 0, 1, 2, 3, 4})), 6, untouched},
      {"reply cut short", Reply::body(words({0, 0x3FC00000, 0, 0, 0, 1, 2, 3})), RESULT_CALL_FAILED,
       untouched},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    server.answerOnce(kGetThresholds, c.reply);
    SensorThresholds got = untouched;
    EXPECT_EQ(qelSysGetSensorThresholds("vrm1.iout", &got), c.result);
    EXPECT_EQ(0, std::memcmp(&got, &c.expected, sizeof got));
  }
  EXPECT_EQ(server.callsOf(kGetThresholds).back().arguments, xdrString("vrm1.iout"));
}

TEST_F(SensorValueTest, GoodnessWritesExactlyTheCallersCount) {
  constexpr int kUntouched = -77;
  const int served[] = {11, -22, 33, 44};
  for (u_int serverCount : {0u, 2u, 4u}) {
    for (unsigned int count : {0u, 2u, 6u}) {
      SCOPED_TRACE("server " + std::to_string(serverCount) + ", caller " + std::to_string(count));
      rpc_SysGetVRMGoodness reply{0, serverCount, const_cast<int *>(served)};
      server.answerOnce(kGoodness, Reply::record(xdr_rpc_SysGetVRMGoodness, reply));
      int values[8];
      std::fill(std::begin(values), std::end(values), kUntouched);
      EXPECT_EQ(qelSysGetVRMGoodness(-3, count, values), RESULT_OK);
      for (unsigned int i = 0; i < 8; ++i) {
        const int expected = i >= count ? kUntouched : i < serverCount ? served[i] : 0;
        EXPECT_EQ(values[i], expected) << "index " << i;
      }
    }
  }
  EXPECT_EQ(server.callsOf(kGoodness).back().arguments, encodeInt(-3));

  server.answerOnce(kGoodness, Reply::body(words({0, 2, 5, 6})));
  EXPECT_EQ(qelSysGetVRMGoodness(0, 0, nullptr), RESULT_OK) << "no room wanted, none used";
}

TEST_F(SensorValueTest, GoodnessFailuresWriteNothing) {
  expectReplies(
      kGoodness,
      {
          {"five values", Reply::body(words({0, 5, 1, 2, 3, 4, 5})), RESULT_CALL_FAILED, false},
          {"count beyond the data", Reply::body(words({0, 3, 1, 2})), RESULT_CALL_FAILED, false},
          {"server refuses", Reply::body(words({8, 2, 1, 2})), 8, true},
      },
      [] {
        int values[6] = {-1, -1, -1, -1, -1, -1};
        const unsigned int result = qelSysGetVRMGoodness(1, 6, values);
        for (int v : values) EXPECT_EQ(v, -1);
        return result;
      });
}

TEST_F(SensorValueTest, NullIdentifierCannotBeSentAndDropsTheHandle) {
  server.answer(kGetValue, reading(0, 1.0f));
  server.answer(kSetValue, Reply::integer(kNotTaken));
  server.answer(kSetThresholds, Reply::integer(0));
  server.answer(kGetThresholds, Reply::record(xdr_rpc_SysGetSensorThresh, {}));
  server.answer(proc::GetSensorInfo::kNumber, Reply::record(xdr_rpc_SensorInfo, {}));
  struct Case {
    const char *name;
    unsigned int (*operation)();
  };
  const Case cases[] = {
      {"get value", [] { return qelSysGetSensorValue(nullptr, nullptr); }},
      {"set value", [] { return qelSysSetSensorValue(nullptr, 1.0f); }},
      {"set thresholds",
       [] {
         const SensorThresholds t{};
         return qelSysSetSensorThresholds(nullptr, &t);
       }},
      {"get thresholds",
       [] {
         SensorThresholds t{};
         return qelSysGetSensorThresholds(nullptr, &t);
       }},
      {"sensor info",
       [] {
         SensorInfo info{};
         return qelGetSensorInfo(nullptr, &info);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    EXPECT_EQ(c.operation(), RESULT_CALL_FAILED);
    EXPECT_EQ(handle(), nullptr);
    EXPECT_EQ(qelSysGetSensorValue("still-works", nullptr), RESULT_OK);
  }
}

TEST_F(SensorValueTest, ThreadsReadTheirOwnSensorAfterFifteen) {
  // Every sensor refuses its value; even-numbered sensors then read as having no value. Each
  // thread's follow-up read must see its own sensor's reply.
  server.answer(kSetValue, Reply::integer(kNotTaken));
  server.answerWith(kGetValue, [](const ReceivedCall &call) {
    Decoded<char *> id = decode(xdrText, call.arguments);
    const bool even = id.ok && (id.value[std::strlen(id.value) - 1] - '0') % 2 == 0;
    return reading(0, even ? kNoReading : 1.0f);
  });
  constexpr int kThreads = 4, kCalls = 40;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string id = "sensor-" + std::to_string(t);
      const unsigned int expected = t % 2 == 0 ? RESULT_NOT_AVAILABLE : 15u;
      for (int i = 0; i < kCalls; ++i) {
        if (qelSysSetSensorValue(id.c_str(), 1.0f) != expected) ++wrong;
      }
      qelDisconnect();
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(server.callsOf(kGetValue).size(), std::size_t{kThreads * kCalls});
}

}  // namespace
}  // namespace qel::test
