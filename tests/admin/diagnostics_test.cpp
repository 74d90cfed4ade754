// What admin reads give back beyond a plain status: console settings crossed against their
// record positions at the ends of their ranges, and texts that arrive empty. The bytes of the
// requests and the codes passed through are the remote operations' catalogue's.
#include <cstdlib>
#include <tuple>

#include "server_test.hpp"

namespace qel::test {
namespace {

using AdminTest = ServerTest;
constexpr uint32_t kGetPbm = 1050, kGetConsole = 2011, kInternalState = 4000;

TEST_F(AdminTest, ReadWritesEachGivenOutputFromItsOwnField) {
  // errorCode, then settings 3, 2, 4, 5 and 1 as they travel.
  server.answer(
      kGetConsole,
      Reply::body(words({0, 0xFFFFFFFD, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF})));
  int v1 = 0, v2 = 0, v3 = 0, v4 = 0;
  unsigned long v5 = 0;
  // One output at a time: a mix-up between fields or a write through a null pointer shows.
  EXPECT_EQ(qelSysGetConsoleConfig(&v1, nullptr, nullptr, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, &v2, nullptr, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, &v3, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, nullptr, &v4, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, nullptr, nullptr, &v5), RESULT_OK);
  EXPECT_EQ(std::make_tuple(v1, v2, v3, v4, v5),
            std::make_tuple(-1, INT32_MIN, -3, INT32_MAX, 4294967295UL));
}

TEST_F(AdminTest, EmptyTextsArriveAsFreshEmptyStrings) {
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

}  // namespace
}  // namespace qel::test
