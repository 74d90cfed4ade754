// A text report whose copy for the caller cannot be made. This executable defines strdup itself;
// being the program, its definition serves the library's calls too.
#include <cstdlib>
#include <cstring>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace {

thread_local bool refuseCopies = false;
thread_local int copiesAsked = 0;

}  // namespace

extern "C" char *strdup(const char *text) noexcept {
  ++copiesAsked;
  if (refuseCopies) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  void *copy = std::malloc(size);
  return copy != nullptr ? static_cast<char *>(std::memcpy(copy, text, size)) : nullptr;
}

namespace qel::test {
namespace {

using CopyFailureTest = ServerTest;

TEST_F(CopyFailureTest, ReportThatCannotBeCopiedGivesNoResourcesAndANullReport) {
  rpc_StringAndEC record{0, const_cast<char *>("<sensors/>")};
  server.answer(proc::SensorValuesXML::kNumber, Reply::record(xdr_rpc_StringAndEC, record));
  copiesAsked = 0;
  char *report = nullptr;
  ASSERT_EQ(qelSysGetSensorValuesXML(&report), RESULT_OK);
  std::free(report);
  if (copiesAsked == 0) GTEST_SKIP() << "the library's copies do not come through this strdup";

  char mine[] = "mine";
  report = mine;
  refuseCopies = true;
  const unsigned int result = qelSysGetSensorValuesXML(&report);
  refuseCopies = false;
  EXPECT_EQ(result, RESULT_NO_RESOURCES);
  EXPECT_EQ(report, nullptr);
  EXPECT_NE(handle(), nullptr) << "the reply came and was released; the handle stays";

  ASSERT_EQ(qelSysGetSensorValuesXML(&report), RESULT_OK) << "the next call is unaffected";
  EXPECT_STREQ(report, "<sensors/>");
  std::free(report);
}

}  // namespace
}  // namespace qel::test
