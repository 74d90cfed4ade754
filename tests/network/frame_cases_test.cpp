// Every remote network operation through the call frame: a failed connection, a missing reply
// or a server's code comes back as the result, and no output is touched.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ip_state_wire.hpp"
#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

// Every output any of the operations writes, filled with a pattern that no operation writes.
struct Outputs {
  IPInfo info;
  unsigned int servers[3];
  int flags[2];
  char *texts[6];
  unsigned char *block;

  Outputs() { std::memset(static_cast<void *>(this), 0xA5, sizeof *this); }
  bool untouched() const {
    const Outputs fresh;
    return std::memcmp(this, &fresh, sizeof *this) == 0;
  }
};

struct OperationCase {
  const char *name;
  uint32_t procedure;
  std::function<unsigned int(Outputs &)> run;
  std::function<Reply(int32_t code)> serverCode;  // a reply carrying the server's code
};

constexpr unsigned int kAddress = 0x0A000001;
constexpr unsigned short kResetSelector = 3;

Reply statusCode(int32_t code) { return Reply::integer(code); }
Reply ipStateCode(int32_t code) {
  IPStateWire wire;
  wire.errorCode = code;
  return Reply::body(wire.bytes());
}
Reply dnsStateCode(int32_t code) {
  return Reply::body(
      concat({words({static_cast<uint32_t>(code), 0, 1, 1, 2, 1, 3, 1}), xdrString("dns")}));
}
Reply textCode(int32_t code) { return Reply::body(concat({encodeInt(code), xdrString("name")})); }

const std::vector<OperationCase> &operations() {
  static const std::vector<OperationCase> cases{
      {"qelGetIP", proc::GetIP::kNumber, [](Outputs &o) { return qelGetIP(1, 2, &o.info); },
       ipStateCode},
      {"qelGetIP_Str", proc::GetIP::kNumber,
       [](Outputs &o) {
         return qelGetIP_Str(1, 2, &o.flags[0], &o.flags[1], &o.texts[0], &o.texts[1], &o.texts[2],
                             &o.texts[3], &o.block);
       },
       ipStateCode},
      {"qelSetIP", proc::SetIP::kNumber,
       [](Outputs &) { return qelSetIP(1, 2, 1, 0, &kAddress, &kAddress, &kAddress, "t"); },
       statusCode},
      {"qelSetIP_Str", proc::SetIP::kNumber,
       [](Outputs &) { return qelSetIP_Str(1, 2, 1, 0, "10.0.0.1", nullptr, nullptr, nullptr); },
       statusCode},
      {"qelGetDNS3", proc::GetDNS::kNumber,
       [](Outputs &o) {
         return qelGetDNS3(1, &o.servers[0], &o.servers[1], &o.servers[2], &o.texts[4]);
       },
       dnsStateCode},
      {"qelGetDNS", proc::GetDNS::kNumber,
       [](Outputs &o) { return qelGetDNS(1, &o.servers[0], &o.texts[4]); }, dnsStateCode},
      {"qelGetDNS_Str", proc::GetDNS::kNumber,
       [](Outputs &o) { return qelGetDNS_Str(1, &o.texts[0], &o.texts[4]); }, dnsStateCode},
      {"qelSetDNS3", proc::SetDNS::kNumber,
       [](Outputs &) { return qelSetDNS3(1, &kAddress, &kAddress, &kAddress, "d"); }, statusCode},
      {"qelSetDNS", proc::SetDNS::kNumber, [](Outputs &) { return qelSetDNS(1, &kAddress, "d"); },
       statusCode},
      {"qelSetDNS_Str", proc::SetDNS::kNumber,
       [](Outputs &) { return qelSetDNS_Str(1, "1.1.1.1", "d"); }, statusCode},
      {"qelGetHostname", proc::GetHostname::kNumber,
       [](Outputs &o) { return qelGetHostname(1, &o.texts[5]); }, textCode},
      {"qelSetHostname", proc::SetHostname::kNumber,
       [](Outputs &) { return qelSetHostname(1, "h"); }, statusCode},
      {"qelSetDate", proc::SetDate::kNumber,
       [](Outputs &) { return qelSetDate("2026-12-06 05:00:00"); }, statusCode},
      {"qelResetToDefaultSettings", proc::ResetToDefaults::kNumber,
       [](Outputs &) { return qelResetToDefaultSettings(&kResetSelector); }, statusCode},
  };
  return cases;
}

using NetworkFrameTest = ServerTest;

TEST_F(NetworkFrameTest, ServerCodesPassUnchangedAndTheHandleStays) {
  for (const OperationCase &c : operations()) {
    for (int32_t code : {17, -1}) {
      SCOPED_TRACE(std::string(c.name) + " code " + std::to_string(code));
      server.clearLog();
      server.answer(c.procedure, c.serverCode(code));
      Outputs outputs;
      EXPECT_EQ(c.run(outputs), static_cast<unsigned int>(code));
      EXPECT_TRUE(outputs.untouched());
      EXPECT_EQ(server.callsOf(c.procedure).size(), 1u);
      EXPECT_NE(handle(), nullptr);
    }
  }
}

TEST_F(NetworkFrameTest, MissingRepliesFailTheCallAndDropTheHandle) {
  for (const OperationCase &c : operations()) {
    const Reply whole = c.serverCode(0);
    const Reply failures[] = {Reply::drop(), whole.cutTo(whole.bytes.size() - 1), whole.cutTo(2),
                              Reply::procUnavail()};
    for (const Reply &failure : failures) {
      SCOPED_TRACE(c.name);
      ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
      server.answerOnce(c.procedure, failure);
      Outputs outputs;
      EXPECT_EQ(c.run(outputs), RESULT_CALL_FAILED);
      EXPECT_TRUE(outputs.untouched());
      EXPECT_EQ(handle(), nullptr);
    }
  }
}

TEST_F(NetworkFrameTest, FailedConnectionMakesNoCallAndTouchesNothing) {
  server.shutDown();
  qelDisconnect();
  for (const OperationCase &c : operations()) {
    SCOPED_TRACE(c.name);
    Outputs outputs;
    EXPECT_EQ(c.run(outputs), RESULT_NOT_REGISTERED);
    EXPECT_TRUE(outputs.untouched());
    EXPECT_EQ(handle(), nullptr);
  }
  EXPECT_EQ(server.callCount(), 0u);
}

}  // namespace
}  // namespace qel::test
