// The hostname and date written to the server, and the reset to default settings with the
// timeout it leaves on the thread's handle.
#include "server_test.hpp"

namespace qel::test {
namespace {

using HostTest = ServerTest;
constexpr uint32_t kSetHostname = 1025, kSetDate = 1028, kReset = 1029;

TEST_F(HostTest, TextsTravelAsGiven) {
  server.answer(kSetHostname, Reply::integer(0));
  server.answer(kSetDate, Reply::integer(0));
  ASSERT_EQ(qelSetHostname(42, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kSetHostname).back().arguments, words({42, 0}));
  ASSERT_EQ(qelSetDate("not a date at all"), RESULT_OK);  // the library does not read it
  EXPECT_EQ(server.callsOf(kSetDate).back().arguments, xdrString("not a date at all"));
  EXPECT_EQ(qelSetDate(nullptr), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
}

timeval timeoutOf(CLIENT *clnt) {
  timeval timeout{-1, -1};
  EXPECT_TRUE(clnt_control(clnt, CLGET_TIMEOUT, reinterpret_cast<char *>(&timeout)));
  return timeout;
}

TEST_F(HostTest, ResetLeavesItsTimeoutOnTheHandle) {
  server.answer(kReset, Reply::integer(6));
  server.answer(kSetHostname, Reply::integer(0));
  const unsigned short selector = 0xBEEF;
  ASSERT_EQ(qelResetToDefaultSettings(&selector), 6u);
  EXPECT_EQ(server.callsOf(kReset).back().arguments, words({0xBEEF}));
  ASSERT_EQ(qelSetHostname(0, "later"), RESULT_OK);
  ASSERT_NE(handle(), nullptr);
  const timeval timeout = timeoutOf(handle());
  EXPECT_EQ(timeout.tv_sec, 180) << "later calls of the thread keep it";
  EXPECT_EQ(timeout.tv_usec, 0);
  // A missing selector is refused before any connection or call.
  qelDisconnect();
  const std::size_t calls = server.callCount();
  EXPECT_EQ(qelResetToDefaultSettings(nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(server.callCount(), calls);
}

}  // namespace
}  // namespace qel::test
