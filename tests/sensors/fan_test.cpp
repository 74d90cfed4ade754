// The fan debug state: which positions reach the caller, and entry counts no record can hold.
#include <climits>
#include <cstring>
#include <string>

#include "server_test.hpp"

namespace qel::test {
namespace {

using FanTest = ServerTest;
constexpr uint32_t kFan = 4002;

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
