// PBM strings, process registration, notification, the server's internal state and its debug
// level: what travels, and what comes back beyond a plain status.
#include <cstdlib>

#include "server_test.hpp"

namespace qel::test {
namespace {

using DiagnosticsTest = ServerTest;
constexpr uint32_t kGetPbm = 1050, kSetPbm = 1051, kRegister = 3002, kNotify = 3003,
                   kInternalState = 4000, kDebugLevel = 4001;

TEST_F(DiagnosticsTest, RequestsTravelWhole) {
  for (uint32_t procedure : {kSetPbm, kRegister, kNotify}) {
    server.answer(procedure, Reply::integer(0));
  }
  ASSERT_EQ(qelSetPBMString(9, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetPbm).back().arguments, words({9, 0}));
  ASSERT_EQ(qelRegisterPID(1234, 4294967295UL), RESULT_OK);
  EXPECT_EQ(server.callsOf(kRegister).back().arguments,
            (Bytes{0x00, 0x00, 0x04, 0xD2, 0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_EQ(qelNotify(-7), RESULT_OK);
  EXPECT_EQ(server.callsOf(kNotify).back().arguments, words({0xFFFFFFF9}));
}

TEST_F(DiagnosticsTest, EmptyTextsArriveAsFreshEmptyStrings) {
  server.answer(kGetPbm, Reply::body(words({0, 0})));
  char *pbm = nullptr;
  ASSERT_EQ(qelGetPBMString(1, &pbm), RESULT_OK);
  ASSERT_NE(pbm, nullptr);
  EXPECT_STREQ(pbm, "");
  std::free(pbm);
  for (const char *state : {"threads 4", ""}) {
    server.answer(kInternalState, Reply::body(xdrString(state)));
    char *first = qelInternalState(), *second = qelInternalState();
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_NE(first, second) << "a fresh copy each time";
    EXPECT_STREQ(first, state);
    EXPECT_STREQ(second, state);
    std::free(first);
    std::free(second);
  }
}

TEST_F(DiagnosticsTest, DebugLevelIsTheServersReplyAsIs) {
  for (int32_t reply : {2, -1, INT32_MAX}) {
    server.answer(kDebugLevel, Reply::integer(reply));
    EXPECT_EQ(qelSetDebugLevel(-5), reply);
    EXPECT_EQ(server.callsOf(kDebugLevel).back().arguments, words({0xFFFFFFFB}));
  }
}

}  // namespace
}  // namespace qel::test
