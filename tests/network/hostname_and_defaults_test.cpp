// The reset to default settings and the timeout it leaves on the thread's handle.
#include "server_test.hpp"

namespace qel::test {
namespace {

using HostTest = ServerTest;
constexpr uint32_t kSetHostname = 1025, kReset = 1029;

TEST_F(HostTest, ResetLeavesItsTimeoutOnTheHandle) {
  server.answer(kReset, Reply::integer(6));
  server.answer(kSetHostname, Reply::integer(0));
  const unsigned short selector = 0xBEEF;
  ASSERT_EQ(qelResetToDefaultSettings(&selector), 6u);
  EXPECT_EQ(server.callsOf(kReset).back().arguments, words({0xBEEF}));
  ASSERT_EQ(qelSetHostname(0, "later"), RESULT_OK);
  timeval timeout{-1, -1};
  ASSERT_TRUE(clnt_control(handle(), CLGET_TIMEOUT, reinterpret_cast<char *>(&timeout)));
  EXPECT_EQ(std::make_pair(timeout.tv_sec, timeout.tv_usec), std::make_pair(180L, 0L))
      << "later calls of the thread keep it";
}

}  // namespace
}  // namespace qel::test
