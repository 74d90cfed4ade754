// The stubs of the procedures that reply with a shared record: each reaches its own procedure
// with its argument and hands back the decoded reply.
#include <gtest/gtest.h>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using StubTest = ServerTest;

char kCpu[] = "cpu0";

struct TextStubCase {
  const char *name;
  uint32_t procedure;
  rpc_StringAndEC *(*call)(CLIENT *);
  Bytes argument;
};

const TextStubCase kTextStubs[] = {
    {"host name", proc::GetHostname::kNumber,
     [](CLIENT *c) {
       u_int selector = 0xFFFFFFFF;
       return gethostname_1(&selector, c);
     },
     words({0xFFFFFFFF})},
    {"pbm string", proc::GetPBMString::kNumber,
     [](CLIENT *c) {
       u_int index = 3;
       return getpbmstring_1(&index, c);
     },
     words({3})},
    {"sensor values xml",
     proc::SensorValuesXML::kNumber,
     [](CLIENT *c) { return sysgetsensorvaluesxml_1(nullptr, c); },
     {}},
    {"sensor values ascii",
     proc::SensorValuesASCII::kNumber,
     [](CLIENT *c) { return sysgetsensorvaluesascii_1(nullptr, c); },
     {}},
    {"component xml", proc::ComponentValuesXML::kNumber,
     [](CLIENT *c) {
       char *name = kCpu;
       return sysgetsensorvaluesforcomponentxml_1(&name, c);
     },
     xdrString("cpu0")},
    {"component ascii", proc::ComponentValuesASCII::kNumber,
     [](CLIENT *c) {
       char *name = kCpu;
       return sysgetsensorvaluesforcomponentascii_1(&name, c);
     },
     xdrString("cpu0")},
    {"component status all",
     proc::ComponentStatusAll::kNumber,
     [](CLIENT *c) { return sysgetcomponentstatusall_1(nullptr, c); },
     {}},
    {"es values xml", proc::ESValuesXML::kNumber,
     [](CLIENT *c) {
       char *name = kCpu;
       return sysgetesvaluesforcomponentxml_1(&name, c);
     },
     xdrString("cpu0")},
    {"presence detect all",
     proc::PresenceDetectAll::kNumber,
     [](CLIENT *c) { return sysgetpresencedetectall_1(nullptr, c); },
     {}},
};

TEST_F(StubTest, TextStubsReachTheirProcedureAndDecodeTheReply) {
  for (const TextStubCase &c : kTextStubs) {
    SCOPED_TRACE(c.name);
    server.clearLog();
    std::string text = std::string("reply of ") + c.name;
    server.answer(c.procedure,
                  Reply::record(xdr_rpc_StringAndEC, rpc_StringAndEC{-9, text.data()}));
    rpc_StringAndEC *reply = c.call(handle());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->errorCode, -9);
    EXPECT_STREQ(reply->text, text.c_str());
    clnt_freeres(handle(), reinterpret_cast<xdrproc_t>(xdr_rpc_StringAndEC),
                 reinterpret_cast<caddr_t>(reply));
    const auto received = server.calls();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].procedure, c.procedure);
    EXPECT_EQ(received[0].arguments, c.argument);
  }
}

TEST_F(StubTest, TextStubsGiveNoReplyForAReplyCutShort) {
  for (const TextStubCase &c : kTextStubs) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    const Reply whole = Reply::record(xdr_rpc_StringAndEC, rpc_StringAndEC{0, kCpu});
    server.answerOnce(c.procedure, whole.cutTo(whole.bytes.size() - 4));
    EXPECT_EQ(c.call(handle()), nullptr);
    qelDisconnect();
  }
}

TEST_F(StubTest, SensorValueStubSendsTheNameAndDecodesTheValue) {
  server.answer(proc::GetSensorValue::kNumber,
                Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{0, 1.5f}));
  char *name = kCpu;
  rpc_FloatAndEC *reply = sysgetsensorvalue_1(&name, handle());
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->errorCode, 0);
  EXPECT_EQ(reply->value, 1.5f);
  clnt_freeres(handle(), reinterpret_cast<xdrproc_t>(xdr_rpc_FloatAndEC),
               reinterpret_cast<caddr_t>(reply));
  const auto received = server.callsOf(proc::GetSensorValue::kNumber);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].arguments, xdrString("cpu0"));

  server.answerOnce(proc::GetSensorValue::kNumber, Reply::integer(0));  // one word of two
  EXPECT_EQ(sysgetsensorvalue_1(&name, handle()), nullptr);
}

}  // namespace
}  // namespace qel::test
