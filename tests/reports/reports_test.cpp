// The sensor reports end to end: text reports handed over as heap copies, server codes passed on
// with the output left alone, reports of any size, and the argument rules for components.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "protocol/procedures.hpp"
#include "protocol/xdr_codec.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using ReportTest = ServerTest;

struct TextReportCase {
  const char *name;
  uint32_t procedure;
  unsigned int (*operation)(char **report);
  Bytes argument;  // what the call puts on the wire
};

const TextReportCase kTextReports[] = {
    {"sensor values xml", proc::SensorValuesXML::kNumber, qelSysGetSensorValuesXML, {}},
    {"sensor values ascii", proc::SensorValuesASCII::kNumber, qelSysGetSensorValuesASCII, {}},
    {"component xml", proc::ComponentValuesXML::kNumber,
     [](char **r) { return qelSysGetSensorValuesForComponentXML("fan tray", r); },
     xdrString("fan tray")},
    {"component ascii", proc::ComponentValuesASCII::kNumber,
     [](char **r) { return qelSysGetSensorValuesForComponentASCII("cpu0", r); }, xdrString("cpu0")},
    {"component status all", proc::ComponentStatusAll::kNumber, qelSysGetComponentStatusAll, {}},
    {"es values xml", proc::ESValuesXML::kNumber,
     [](char **r) { return qelSysGetESValuesForComponentXML("dimm3", r); }, xdrString("dimm3")},
    {"presence detect all", proc::PresenceDetectAll::kNumber, qelSysGetPresenceDetectAll, {}},
};

Reply textReply(int errorCode, std::string text) {
  return Reply::record(xdr_rpc_StringAndEC, rpc_StringAndEC{errorCode, text.data()});
}

// An output the operation must leave alone: still pointing at the caller's own text.
struct UntouchedReport {
  char mine[8] = "mine";
  char *report = mine;
  bool untouched() const { return report == mine; }
};

TEST_F(ReportTest, SuccessHandsOverAFreshCopyAndSendsTheComponent) {
  for (const TextReportCase &c : kTextReports) {
    for (const char *text : {"<report name=\"x\"/>", ""}) {
      SCOPED_TRACE(std::string(c.name) + " text \"" + text + "\"");
      server.clearLog();
      server.answer(c.procedure, textReply(0, text));
      UntouchedReport out;
      ASSERT_EQ(c.operation(&out.report), RESULT_OK);
      ASSERT_FALSE(out.untouched());
      ASSERT_NE(out.report, nullptr) << "an empty report is \"\", not NULL";
      EXPECT_STREQ(out.report, text);
      std::free(out.report);
      const auto received = server.calls();
      ASSERT_EQ(received.size(), 1u);
      EXPECT_EQ(received[0].procedure, c.procedure);
      EXPECT_EQ(received[0].arguments, c.argument);
    }
  }
}

TEST_F(ReportTest, ServerCodesPassUnchangedAndLeaveTheReportAlone) {
  const struct {
    int32_t errorCode;
    unsigned int result;
  } codes[] = {{7, 7u}, {2, 2u}, {-1, 4294967295u}, {INT32_MIN, 2147483648u}};
  for (const TextReportCase &c : kTextReports) {
    for (const auto &code : codes) {
      SCOPED_TRACE(std::string(c.name) + " code " + std::to_string(code.errorCode));
      server.answer(c.procedure, textReply(code.errorCode, "partial"));
      UntouchedReport out;
      EXPECT_EQ(c.operation(&out.report), code.result);
      EXPECT_TRUE(out.untouched());
      EXPECT_NE(handle(), nullptr) << "a server's code keeps the handle";
    }
  }
}

TEST_F(ReportTest, NullReportOnlyReturnsTheResult) {
  // Nothing may be copied: the sanitizer build would report the copy as a leak.
  for (const TextReportCase &c : kTextReports) {
    for (int32_t errorCode : {0, 9}) {
      SCOPED_TRACE(std::string(c.name) + " code " + std::to_string(errorCode));
      server.clearLog();
      server.answer(c.procedure, textReply(errorCode, "unwanted"));
      EXPECT_EQ(c.operation(nullptr), static_cast<unsigned int>(errorCode));
      EXPECT_EQ(server.callsOf(c.procedure).size(), 1u);
    }
  }
}

TEST_F(ReportTest, MissingReplyGivesCallFailedLeavesTheReportAndReconnects) {
  const Reply whole = textReply(0, "abcdef");
  const Reply failures[] = {Reply::drop(), whole.cutTo(whole.bytes.size() - 4), whole.cutTo(3),
                            Reply::integer(0)};
  for (const TextReportCase &c : kTextReports) {
    for (const Reply &failure : failures) {
      SCOPED_TRACE(c.name);
      server.answerOnce(c.procedure, failure);
      UntouchedReport out;
      EXPECT_EQ(c.operation(&out.report), RESULT_CALL_FAILED);
      EXPECT_TRUE(out.untouched());
      EXPECT_EQ(handle(), nullptr);

      server.answer(c.procedure, textReply(5, "x"));
      EXPECT_EQ(c.operation(&out.report), 5u) << "the next call connects anew";
      EXPECT_NE(handle(), nullptr);
    }
  }
}

TEST_F(ReportTest, FailedConnectionReturnsItsCodeAndWritesNothing) {
  server.shutDown();
  for (const TextReportCase &c : kTextReports) {
    SCOPED_TRACE(c.name);
    qelDisconnect();
    UntouchedReport out;
    EXPECT_EQ(c.operation(&out.report), RESULT_NOT_REGISTERED);
    EXPECT_TRUE(out.untouched());
  }
  int presence = 3;
  qelDisconnect();
  EXPECT_EQ(qelSysGetComponentStatus("cpu0", &presence), RESULT_NOT_REGISTERED);
  // The component is judged only after the connection step.
  qelDisconnect();
  EXPECT_EQ(qelSysGetPresenceDetect("", &presence), RESULT_NOT_REGISTERED);
  qelDisconnect();
  EXPECT_EQ(qelSysGetPresenceDetect(nullptr, &presence), RESULT_NOT_REGISTERED);
  EXPECT_EQ(presence, 3);
  EXPECT_EQ(server.callCount(), 0u);
}

// Texts have no length limit on the wire, in either direction.
TEST_F(ReportTest, MultiMegabyteReportsTravelBothWays) {
  std::string big(8u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  big.back() = 'Z';

  server.answer(proc::SensorValuesXML::kNumber, textReply(0, big));
  char *report = nullptr;
  ASSERT_EQ(qelSysGetSensorValuesXML(&report), RESULT_OK);
  ASSERT_NE(report, nullptr);
  EXPECT_TRUE(big == report);
  std::free(report);

  server.answerWith(proc::ComponentValuesASCII::kNumber, [](const ReceivedCall &call) {
    Decoded<char *> name = decode(xdrText, call.arguments);
    return textReply(0, name.ok ? std::to_string(std::strlen(name.value)) : "undecodable");
  });
  ASSERT_EQ(qelSysGetSensorValuesForComponentASCII(big.c_str(), &report), RESULT_OK);
  EXPECT_STREQ(report, std::to_string(big.size()).c_str());
  std::free(report);
  EXPECT_EQ(server.callsOf(proc::ComponentValuesASCII::kNumber).back().arguments, xdrString(big));
}

TEST_F(ReportTest, NullComponentFailsTheCallAndTheNextReconnects) {
  const struct {
    const char *name;
    unsigned int (*operation)();
  } nullComponents[] = {
      {"component xml", [] { return qelSysGetSensorValuesForComponentXML(nullptr, nullptr); }},
      {"component ascii", [] { return qelSysGetSensorValuesForComponentASCII(nullptr, nullptr); }},
      {"component status", [] { return qelSysGetComponentStatus(nullptr, nullptr); }},
  };
  server.answer(proc::SensorValuesXML::kNumber, textReply(0, "ok"));
  for (const auto &c : nullComponents) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.operation(), RESULT_CALL_FAILED);
    EXPECT_EQ(handle(), nullptr);
    EXPECT_EQ(qelSysGetSensorValuesXML(nullptr), RESULT_OK);
    EXPECT_NE(handle(), nullptr);
  }
}

TEST_F(ReportTest, EsValuesSendAnEmptyComponentForNull) {
  server.answer(proc::ESValuesXML::kNumber, textReply(0, "<es/>"));
  char *report = nullptr;
  ASSERT_EQ(qelSysGetESValuesForComponentXML(nullptr, &report), RESULT_OK);
  EXPECT_STREQ(report, "<es/>");
  std::free(report);
  EXPECT_EQ(server.callsOf(proc::ESValuesXML::kNumber).back().arguments, words({0}));
}

TEST_F(ReportTest, PresenceDetectRejectsAMissingComponentWithoutACall) {
  server.answer(proc::PresenceDetect::kNumber, Reply::integer(1));
  for (const char *component : {static_cast<const char *>(nullptr), ""}) {
    int presence = 3;
    EXPECT_EQ(qelSysGetPresenceDetect(component, &presence), RESULT_INVALID_ARGUMENT);
    EXPECT_EQ(presence, 3);
    EXPECT_NE(handle(), nullptr) << "the handle stays";
  }
  EXPECT_EQ(server.callCount(), 0u);
  EXPECT_EQ(qelSysGetPresenceDetect(" ", nullptr), RESULT_OK) << "a blank is a name";
}

}  // namespace
}  // namespace qel::test
