// The stubs of procedures with primitive arguments and replies, called directly: the argument
// bytes the server receives, the reply they hand back, and the storage they hand it back in.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using StubTest = ServerTest;

char kTypeKey[] = "blade";
char kDate[] = "2026-12-06 05:00:00";
char kComponent[] = "PS0";
int kInt = -7;
unsigned short kShort = 0xBEEF;

struct IntStubCase {
  const char *name;
  uint32_t procedure;
  std::function<int *(CLIENT *)> call;
  Bytes argument;
};

TEST_F(StubTest, IntReplyingStubsSendTheirArgumentAndReturnTheReply) {
  const IntStubCase cases[] = {
      {"stop",
       proc::StopServer::kNumber,
       [](CLIENT *c) { return stop_qel_server_1(nullptr, c); },
       {}},
      {"configure",
       proc::ConfigureServer::kNumber,
       [](CLIENT *c) { return configure_qel_server_1(nullptr, c); },
       {}},
      {"reboot", proc::RebootSP::kNumber, [](CLIENT *c) { return reboot_sp_1(nullptr, c); }, {}},
      {"state",
       proc::PlatformGetState::kNumber,
       [](CLIENT *c) { return platformgetstate_1(nullptr, c); },
       {}},
      {"power state",
       proc::PlatformGetPowerState::kNumber,
       [](CLIENT *c) { return platformgetpowerstate_1(nullptr, c); },
       {}},
      {"power level",
       proc::PlatformGetPowerLevel::kNumber,
       [](CLIENT *c) { return platformgetpowerlevel_1(nullptr, c); },
       {}},
      {"set power level", proc::PlatformSetPowerLevel::kNumber,
       [](CLIENT *c) { return platformsetpowerlevel_1(&kInt, c); }, words({0xFFFFFFF9})},
      {"set power state", proc::PlatformSetPowerState::kNumber,
       [](CLIENT *c) { return platformsetpowerstate_1(&kInt, c); }, words({0xFFFFFFF9})},
      {"button", proc::PlatformButton::kNumber,
       [](CLIENT *c) { return platformbutton_1(&kInt, c); }, words({0xFFFFFFF9})},
      {"type", proc::PlatformGetType::kNumber,
       [](CLIENT *c) {
         char *k = kTypeKey;
         return platformgettype_1(&k, c);
       },
       xdrString("blade")},
      {"off reason",
       proc::PlatformGetOffReason::kNumber,
       [](CLIENT *c) { return platformgetoffreason_1(nullptr, c); },
       {}},
      {"set date", proc::SetDate::kNumber,
       [](CLIENT *c) {
         char *d = kDate;
         return setdate_1(&d, c);
       },
       xdrString(kDate)},
      {"reset", proc::ResetToDefaults::kNumber,
       [](CLIENT *c) { return resettodefaultsettings_1(&kShort, c); }, words({0xBEEF})},
      {"component status", proc::ComponentStatus::kNumber,
       [](CLIENT *c) {
         char *n = kComponent;
         return sysgetcomponentstatus_1(&n, c);
       },
       xdrString("PS0")},
      {"presence", proc::PresenceDetect::kNumber,
       [](CLIENT *c) {
         char *n = kComponent;
         return sysgetpresencedetect_1(&n, c);
       },
       xdrString("PS0")},
      {"notify", proc::Notify::kNumber, [](CLIENT *c) { return notify_1(&kInt, c); },
       words({0xFFFFFFF9})},
      {"debug level", proc::SetDebugLevel::kNumber,
       [](CLIENT *c) { return setdbglevel_1(&kInt, c); }, words({0xFFFFFFF9})},
  };
  for (const IntStubCase &c : cases) {
    SCOPED_TRACE(c.name);
    server.answer(c.procedure, Reply::integer(-123456));
    int *reply = c.call(handle());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(*reply, -123456);
    EXPECT_EQ(c.call(handle()), reply) << "one reply storage per procedure and thread";
    ASSERT_FALSE(server.callsOf(c.procedure).empty());
    EXPECT_EQ(server.callsOf(c.procedure).back().arguments, c.argument);

    server.answer(c.procedure, Reply::integer(1).cutTo(3));
    EXPECT_EQ(c.call(handle()), nullptr) << "a reply cut short";
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
  }
}

TEST_F(StubTest, InternalStateDecodesABareStringOfAnyLength) {
  for (std::size_t length : {std::size_t{0}, std::size_t{9001}, std::size_t{1} << 20}) {
    const std::string text(length, 's');
    server.answer(proc::InternalState::kNumber, Reply::body(xdrString(text)));
    char **reply = internalstate_1(nullptr, handle());
    ASSERT_NE(reply, nullptr);
    ASSERT_NE(*reply, nullptr);
    EXPECT_EQ(std::string(*reply), text);
    clnt_freeres(handle(), proc::InternalState::replyCodec(), reinterpret_cast<caddr_t>(reply));
    EXPECT_EQ(*reply, nullptr) << "releasing the reply leaves its pointer null";
  }
}

TEST_F(StubTest, StringArgumentsHaveNoLengthLimit) {
  // Longer than the C library's wrapped-string limit of 9000 bytes.
  std::string key(20000, 'k');
  char *argument = key.data();
  server.answer(proc::PlatformGetType::kNumber, Reply::integer(3));
  ASSERT_NE(platformgettype_1(&argument, handle()), nullptr);
  EXPECT_EQ(server.callsOf(proc::PlatformGetType::kNumber).back().arguments, xdrString(key));
}

TEST_F(StubTest, NullStringArgumentFailsToEncode) {
  char *none = nullptr;
  char date[] = "now";
  char *some = date;
  server.answer(proc::SetDate::kNumber, Reply::integer(0));
  EXPECT_EQ(setdate_1(&none, handle()), nullptr);
  // The RPC layer may have flushed the call header; a fresh connection works as before.
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
  ASSERT_NE(setdate_1(&some, handle()), nullptr);
  EXPECT_EQ(server.callsOf(proc::SetDate::kNumber).back().arguments, xdrString("now"));
}

}  // namespace
}  // namespace qel::test
