// Reading PBM strings, the server's internal state and setting its debug level: what comes
// back on success and on a server error.
#include <gtest/gtest.h>

#include <cstdlib>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using DiagnosticsTest = ServerTest;

constexpr uint32_t kGetPbm = proc::GetPBMString::kNumber;
constexpr uint32_t kInternalState = proc::InternalState::kNumber;
constexpr uint32_t kDebugLevel = proc::SetDebugLevel::kNumber;

char kUntouched[] = "untouched";

struct PbmReadCase {
  const char *name;
  Bytes reply;
  unsigned int result;
  const char *text;  // what *pbmText holds afterwards; null: left as it was
};

const PbmReadCase kPbmReads[] = {
    {"text handed out", concat({words({0}), xdrString("pbm three")}), 0, "pbm three"},
    {"empty text is an empty string", words({0, 0}), 0, ""},
    {"server error leaves the output", concat({words({3}), xdrString("ignored")}), 3, nullptr},
    {"negative error code passes unchanged", words({0xFFFFFFFF, 0}), 4294967295u, nullptr},
};

TEST_F(DiagnosticsTest, PbmStringReadHandsOutAFreshCopyOnlyOnSuccess) {
  for (const PbmReadCase &c : kPbmReads) {
    SCOPED_TRACE(c.name);
    server.answer(kGetPbm, Reply::body(c.reply));
    char *text = kUntouched;
    EXPECT_EQ(qelGetPBMString(0xFFFFFFFE, &text), c.result);
    EXPECT_EQ(server.callsOf(kGetPbm).back().arguments, words({0xFFFFFFFE}));
    if (c.text == nullptr) {
      EXPECT_EQ(text, kUntouched);
    } else {
      ASSERT_NE(text, nullptr);
      EXPECT_STREQ(text, c.text);
      free(text);  // the caller owns it: a pointer into the reply would fail here
    }
  }
}

TEST_F(DiagnosticsTest, PbmStringReadWithoutAnOutputOnlyReturnsTheCode) {
  server.answer(kGetPbm, Reply::body(concat({words({0}), xdrString("abc")})));
  EXPECT_EQ(qelGetPBMString(1, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kGetPbm).size(), 1u);
}

TEST_F(DiagnosticsTest, InternalStateIsAFreshCopyOfTheReplyEachTime) {
  for (const char *state : {"threads 4, sensors 12", ""}) {
    SCOPED_TRACE(state);
    server.answer(kInternalState, Reply::body(xdrString(state)));
    char *first = qelInternalState();
    char *second = qelInternalState();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_STREQ(first, state);
    EXPECT_STREQ(second, state);
    EXPECT_TRUE(server.callsOf(kInternalState).back().arguments.empty());
    free(first);
    free(second);
  }
}

TEST_F(DiagnosticsTest, DebugLevelReturnsTheServersReplyAsIs) {
  for (int32_t reply : {2, 0, -1, INT32_MAX}) {
    SCOPED_TRACE(reply);
    server.answer(kDebugLevel, Reply::integer(reply));
    EXPECT_EQ(qelSetDebugLevel(-5), reply);
    EXPECT_EQ(server.callsOf(kDebugLevel).back().arguments, words({0xFFFFFFFB}));
    EXPECT_NE(handle(), nullptr);
  }
}

}  // namespace
}  // namespace qel::test
