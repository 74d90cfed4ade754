// Replies that break the record they claim to carry: cut short at every byte, and strings or
// counts larger than the record allows or than the bytes that follow. Each must fail the call
// with 2, leave the outputs as they were and leak nothing (the sanitizer and valgrind runs).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

// An output pre-filled with a pattern that no successful call writes whole.
template <typename T>
struct Untouched {
  T value;
  Untouched() { std::memset(static_cast<void *>(&value), 0xA5, sizeof value); }
  bool held() const {
    Untouched fresh;
    return std::memcmp(&value, &fresh.value, sizeof value) == 0;
  }
};

struct ReplyCase {
  const char *name;
  uint32_t procedure;
  Bytes reply;
  // Calls the operation; *untouched tells whether every output kept its former contents.
  unsigned int (*call)(bool *untouched);
};

char kSensor[] = "cpu0.temp";

template <typename T>
Bytes encoded(bool_t (*codec)(XDR *, T *), T record) {
  return encode(codec, record);
}

Bytes sensorInfoReply() {
  char t1[] = "cpu0.temp", t2[] = "CPU 0", t3[] = "degrees C", t4[] = "temperature", t5[] = "cpu",
       t6[] = "ok", t7[] = "die";
  return encoded(xdr_rpc_SensorInfo,
                 rpc_SensorInfo{0, t1, t2, t3, t4, t5, t6, t7, 1, 2, 1.5f, 2.5f, 3.5f, 4, 5, 6});
}

Bytes sensorListReply() {
  char a[] = "fan0", b[] = "cpu0.temp";
  rpc_SensorListIDList ids[] = {{a}, {b}};
  return encoded(xdr_rpc_SensorListReturn, rpc_SensorListReturn{0, 2, ids});
}

// Every reply record the operations receive, whole, with the operation that reads it.
std::vector<ReplyCase> wholeReplies() {
  char report[] = "<sensors/>";
  int goodness[] = {1, 2, 3, 4};
  rpc_FanDebugState fan{};
  fan.entryCount = 3;
  return {
      {"status", proc::PlatformGetState::kNumber, encodeInt(3),
       [](bool *untouched) {
         Untouched<int> state;
         const unsigned int result = qelPlatformGetState(&state.value);
         *untouched = state.held();
         return result;
       }},
      {"code and text", proc::SensorValuesXML::kNumber,
       encoded(xdr_rpc_StringAndEC, rpc_StringAndEC{0, report}),
       [](bool *untouched) {
         Untouched<char *> text;
         const unsigned int result = qelSysGetSensorValuesXML(&text.value);
         *untouched = text.held();
         if (result == RESULT_OK) free(text.value);
         return result;
       }},
      {"code and value", proc::GetSensorValue::kNumber,
       encoded(xdr_rpc_FloatAndEC, rpc_FloatAndEC{0, 21.5f}),
       [](bool *untouched) {
         Untouched<float> value;
         const unsigned int result = qelSysGetSensorValue(kSensor, &value.value);
         *untouched = value.held();
         return result;
       }},
      {"thresholds", proc::GetSensorThresholds::kNumber,
       encoded(xdr_rpc_SysGetSensorThresh,
               rpc_SysGetSensorThresh{0, {10, 20, 80, 90, 1, 0, 1, 255}}),
       [](bool *untouched) {
         Untouched<SensorThresholds> thresholds;
         const unsigned int result = qelSysGetSensorThresholds(kSensor, &thresholds.value);
         *untouched = thresholds.held();
         return result;
       }},
      {"goodness", proc::GetVRMGoodness::kNumber,
       encoded(xdr_rpc_SysGetVRMGoodness, rpc_SysGetVRMGoodness{0, 4, goodness}),
       [](bool *untouched) {
         Untouched<int[4]> values;
         const unsigned int result = qelSysGetVRMGoodness(0, 4, values.value);
         *untouched = values.held();
         return result;
       }},
      {"sensor description", proc::GetSensorInfo::kNumber, sensorInfoReply(),
       [](bool *untouched) {
         Untouched<SensorInfo> info;
         const unsigned int result = qelGetSensorInfo(kSensor, &info.value);
         *untouched = info.held();
         return result;
       }},
      {"sensor list", proc::GetSensorList::kNumber, sensorListReply(),
       [](bool *untouched) {
         Untouched<unsigned int> count;
         Untouched<char **> list;
         const unsigned int result = qelGetSensorList(0, 0, &count.value, &list.value);
         *untouched = count.held() && list.held();
         if (result == RESULT_OK) {
           for (unsigned int i = 0; i < count.value; ++i) free(list.value[i]);
           free(list.value);
         }
         return result;
       }},
      {"fan state", proc::GetFanState::kNumber, encoded(xdr_rpc_FanDebugState, fan),
       [](bool *untouched) {
         Untouched<FanState> state;
         const unsigned int result = qelGetFanState(&state.value);
         *untouched = state.held();
         return result;
       }},
      {"console", proc::GetConsoleConfig::kNumber,
       encoded(xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 3, 2, 4, 115200, 1}),
       [](bool *untouched) {
         Untouched<int[4]> values;
         Untouched<unsigned long> speed;
         const unsigned int result = qelSysGetConsoleConfig(
             &values.value[0], &values.value[1], &values.value[2], &values.value[3], &speed.value);
         *untouched = values.held() && speed.held();
         return result;
       }},
      {"bare text", proc::InternalState::kNumber, xdrString("running"),
       [](bool *untouched) {
         char *state = qelInternalState();
         *untouched = true;  // its only output is what it returns
         const unsigned int result = state != nullptr ? RESULT_OK : RESULT_CALL_FAILED;
         free(state);
         return result;
       }},
  };
}

using MalformedReplyTest = ServerTest;

TEST_F(MalformedReplyTest, ReplyCutAtAnyByteFailsTheCallAndLeavesTheOutputs) {
  for (const ReplyCase &c : wholeReplies()) {
    SCOPED_TRACE(c.name);
    bool untouched = false;
    server.answerOnce(c.procedure, Reply::body(c.reply));
    ASSERT_EQ(c.call(&untouched), RESULT_OK) << "the whole reply must be accepted";
    for (std::size_t keep = 0; keep < c.reply.size(); ++keep) {
      SCOPED_TRACE("cut to " + std::to_string(keep) + " of " + std::to_string(c.reply.size()));
      server.answerOnce(c.procedure, Reply::body(c.reply).cutTo(keep));
      EXPECT_EQ(c.call(&untouched), RESULT_CALL_FAILED);
      EXPECT_TRUE(untouched);
      EXPECT_EQ(handle(), nullptr);
    }
  }
}

TEST_F(MalformedReplyTest, OversizedStringsAndCountsFailTheCall) {
  const auto cases = wholeReplies();
  auto operationOf = [&](uint32_t procedure) {
    for (const ReplyCase &c : cases) {
      if (c.procedure == procedure) return c.call;
    }
    return static_cast<unsigned int (*)(bool *)>(nullptr);
  };
  const struct {
    const char *name;
    uint32_t procedure;
    Bytes reply;
  } oversized[] = {
      {"text announcing 0xFFFFFFF0 bytes", proc::SensorValuesXML::kNumber,
       concat({words({0, 0xFFFFFFF0u}), {'a', 'b', 'c', 'd'}})},
      {"bare text announcing 0xFFFFFFF0 bytes", proc::InternalState::kNumber,
       concat({words({0xFFFFFFF0u}), {'a', 'b', 'c', 'd'}})},
      {"sensor description text announcing 0xFFFFFFF0 bytes", proc::GetSensorInfo::kNumber,
       concat({words({0, 0xFFFFFFF0u}), {'a', 'b', 'c', 'd'}})},
      {"five goodness values", proc::GetVRMGoodness::kNumber, words({0, 5, 1, 2, 3, 4, 5})},
      {"0x7FFFFFFF sensor ids and none sent", proc::GetSensorList::kNumber,
       words({0, 0x7FFFFFFFu})},
      {"0x7FFFFFFF sensor ids and one sent", proc::GetSensorList::kNumber,
       concat({words({0, 0x7FFFFFFFu}), xdrString("fan0")})},
  };
  for (const auto &c : oversized) {
    SCOPED_TRACE(c.name);
    const auto call = operationOf(c.procedure);
    ASSERT_NE(call, nullptr);
    bool untouched = false;
    server.answerOnce(c.procedure, Reply::body(c.reply));
    EXPECT_EQ(call(&untouched), RESULT_CALL_FAILED);
    EXPECT_TRUE(untouched);
  }
}

TEST_F(MalformedReplyTest, ReplyOfOddLengthLeavesTheNextRepliesReadable) {
  // Three stray bytes after a status reply shift every later reply on the connection off the
  // 4-byte alignment that the records' inline blocks would otherwise have in memory.
  server.answerOnce(proc::Notify::kNumber, Reply::body(concat({encodeInt(7), {1, 2, 3}})));
  EXPECT_EQ(qelNotify(1), 7u);
  server.answer(proc::GetConsoleConfig::kNumber,
                Reply::record(xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 3, 2, 4, 115200, 1}));
  int values[4] = {};
  unsigned long speed = 0;
  ASSERT_EQ(qelSysGetConsoleConfig(&values[0], &values[1], &values[2], &values[3], &speed),
            RESULT_OK);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 2);
  EXPECT_EQ(values[2], 3);
  EXPECT_EQ(values[3], 4);
  EXPECT_EQ(speed, 115200ul);
  EXPECT_EQ(server.connectionsAccepted(), 1) << "all on the one connection";
}

}  // namespace
}  // namespace qel::test
