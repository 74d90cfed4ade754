// The hostname and date written to the server, and the reset to default settings with the
// timeout it leaves on the thread's handle.
#include "server_test.hpp"

namespace qel::test {
namespace {

using HostTest = ServerTest;
constexpr uint32_t kSetHostname = 1025, kReset = 1029;

TEST_F(HostTest, NullTextsOfHostnameAndDate) {
  server.answer(kSetHostname, Reply::integer(0));
  ASSERT_EQ(qelSetHostname(42, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetHostname).back().arguments, words({42, 0}));
  EXPECT_EQ(qelSetDate(nullptr), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
}

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
  // A missing selector is refused before any connection or call.
  qelDisconnect();
  const std::size_t calls = server.callCount();
  EXPECT_EQ(qelResetToDefaultSettings(nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(server.callCount(), calls);
}

}  // namespace
}  // namespace qel::test
