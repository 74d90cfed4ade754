// Console and CPU configuration: settings crossed against their record positions, and values
// at the ends of their ranges in both directions.
#include <tuple>

#include "server_test.hpp"

namespace qel::test {
namespace {

using ConsoleTest = ServerTest;
constexpr uint32_t kGetConsole = 2011, kSetConsole = 2012, kSetCPU = 2015;

TEST_F(ConsoleTest, ReadWritesEachGivenOutputFromItsOwnField) {
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

TEST_F(ConsoleTest, WritesSendEveryValueWhole) {
  server.answer(kSetConsole, Reply::integer(0));
  server.answer(kSetCPU, Reply::integer(0));
  ASSERT_EQ(qelSysSetConsoleConfig(-1, INT32_MIN, 7, INT32_MAX, 4294967295UL), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetConsole).back().arguments,
            words({0, 7, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
  ASSERT_EQ(qelSetCPUConfiguration(-1, 4294967295U, 0, -2, 4294967295U), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetCPU).back().arguments,
            words({0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFE, 0xFFFFFFFF}));
}

}  // namespace
}  // namespace qel::test
