// The hostname, the date sent to the server, and the reset to default settings with the
// timeout it leaves on the thread's handle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "protocol/procedures.hpp"
#include "protocol/xdr_codec.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using HostTest = ServerTest;

constexpr uint32_t kGetHostname = proc::GetHostname::kNumber;
constexpr uint32_t kSetHostname = proc::SetHostname::kNumber;
constexpr uint32_t kSetDate = proc::SetDate::kNumber;
constexpr uint32_t kReset = proc::ResetToDefaults::kNumber;

TEST_F(HostTest, HostnameRead) {
  server.answer(kGetHostname, Reply::body(concat({encodeInt(0), xdrString("sp-01")})));
  char *hostname = nullptr;
  ASSERT_EQ(qelGetHostname(0xABCD, &hostname), RESULT_OK);
  ASSERT_NE(hostname, nullptr);
  EXPECT_STREQ(hostname, "sp-01");
  std::free(hostname);
  EXPECT_EQ(server.callsOf(kGetHostname).back().arguments, words({0xABCD}));
  EXPECT_EQ(qelGetHostname(1, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kGetHostname).size(), 2u);
}

TEST_F(HostTest, HostnameWrite) {
  server.answer(kSetHostname, Reply::integer(0));
  const std::pair<const char *, const char *> cases[] = {
      {"sp-01", "sp-01"}, {"", ""}, {nullptr, ""}};
  for (const auto &[given, sent] : cases) {
    SCOPED_TRACE(given != nullptr ? given : "null");
    ASSERT_EQ(qelSetHostname(42, given), RESULT_OK);
    const auto got = server.lastArgument(kSetHostname, xdr_rpc_Hostname);
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got->configSelector, 42u);
    EXPECT_STREQ(got->hostname, sent);
  }
}

TEST_F(HostTest, DateTravelsUnchanged) {
  server.answer(kSetDate, Reply::integer(0));
  for (const char *date : {"2026-12-06 05:00:00", "", "not a date at all"}) {
    SCOPED_TRACE(date);
    ASSERT_EQ(qelSetDate(date), RESULT_OK);
    EXPECT_EQ(server.callsOf(kSetDate).back().arguments, xdrString(date));
  }
}

TEST_F(HostTest, NullDateCannotBeSentAndTheNextCallReconnects) {
  server.answer(kSetDate, Reply::integer(0));
  EXPECT_EQ(qelSetDate(nullptr), RESULT_CALL_FAILED);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(qelSetDate("2026-12-06"), RESULT_OK);
  EXPECT_NE(handle(), nullptr);
}

timeval timeoutOf(CLIENT *clnt) {
  timeval timeout{-1, -1};
  EXPECT_TRUE(clnt_control(clnt, CLGET_TIMEOUT, reinterpret_cast<char *>(&timeout)));
  return timeout;
}

TEST_F(HostTest, ResetSendsTheSelectorAndLeavesItsTimeoutOnTheHandle) {
  server.answer(kReset, Reply::integer(0));
  for (const unsigned short selector : {0, 1, 0xBEEF, 0xFFFF}) {
    SCOPED_TRACE(selector);
    ASSERT_EQ(qelResetToDefaultSettings(&selector), RESULT_OK);
    EXPECT_EQ(server.callsOf(kReset).back().arguments, words({selector}));
    ASSERT_NE(handle(), nullptr);
    const timeval timeout = timeoutOf(handle());
    EXPECT_EQ(timeout.tv_sec, 180);
    EXPECT_EQ(timeout.tv_usec, 0);
  }
}

TEST_F(HostTest, ResetTimeoutStaysAfterAServerError) {
  server.answer(kReset, Reply::integer(6));
  const unsigned short selector = 1;
  ASSERT_EQ(qelResetToDefaultSettings(&selector), 6u);
  server.answer(kSetHostname, Reply::integer(0));
  ASSERT_EQ(qelSetHostname(0, "later"), RESULT_OK);
  ASSERT_NE(handle(), nullptr);
  EXPECT_EQ(timeoutOf(handle()).tv_sec, 180) << "later calls of the thread keep it";
}

TEST_F(HostTest, ResetWithoutSelectorIsRejectedBeforeConnecting) {
  // The fixture's own connection is counted once the server has accepted it.
  ASSERT_TRUE(server.waitForOpenConnections(1, std::chrono::seconds(5)));
  const int before = server.connectionsAccepted();
  qelDisconnect();
  EXPECT_EQ(qelResetToDefaultSettings(nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(server.connectionsAccepted(), before);
  EXPECT_EQ(server.callCount(), 0u);
}

}  // namespace
}  // namespace qel::test
