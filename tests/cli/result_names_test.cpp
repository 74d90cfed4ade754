#include "cli/result_names.hpp"

#include <gtest/gtest.h>
#include <qel.h>

namespace qel::cli {
namespace {

struct CodeCase {
  unsigned code;
  const char *description;
  int exitStatus;
};

class ResultNamesTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ResultNamesTest, DescribesCodeAndChoosesExitStatus) {
  const CodeCase &c = GetParam();
  EXPECT_EQ(describeResult(c.code), c.description);
  EXPECT_EQ(exitStatusFor(c.code), c.exitStatus);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultNamesTest,
    ::testing::Values(
        CodeCase{RESULT_OK, "success (RESULT_OK, 0)", 0},
        CodeCase{RESULT_CALL_FAILED, "no reply from the management server (RESULT_CALL_FAILED, 2)",
                 2},
        CodeCase{RESULT_NOT_CONNECTED, "not connected (RESULT_NOT_CONNECTED, 3)", 2},
        CodeCase{RESULT_INVALID_ARGUMENT, "invalid argument (RESULT_INVALID_ARGUMENT, 4)", 2},
        CodeCase{RESULT_NOT_AVAILABLE, "value not available (RESULT_NOT_AVAILABLE, 5)", 2},
        CodeCase{RESULT_NULL_ARGUMENT, "missing argument (RESULT_NULL_ARGUMENT, 7)", 2},
        CodeCase{RESULT_NO_RESOURCES,
                 "out of memory or client set-up failed (RESULT_NO_RESOURCES, 8)", 2},
        CodeCase{RESULT_CONNECTION_REFUSED, "connection refused (RESULT_CONNECTION_REFUSED, 12)",
                 2},
        CodeCase{RESULT_HOST_UNREACHABLE, "host unreachable (RESULT_HOST_UNREACHABLE, 13)", 2},
        CodeCase{RESULT_HOST_DOWN, "host down (RESULT_HOST_DOWN, 14)", 2},
        CodeCase{RESULT_FILE_UNAVAILABLE,
                 "product map file unavailable (RESULT_FILE_UNAVAILABLE, 18)", 2},
        CodeCase{RESULT_NOT_REGISTERED, "program not registered (RESULT_NOT_REGISTERED, 24)", 2},
        CodeCase{RESULT_TOO_MANY_VALUES, "too many values (RESULT_TOO_MANY_VALUES, 26)", 2},
        // Codes the library does not produce are the management server's own.
        CodeCase{1, "refused by the management server (1)", 1},
        CodeCase{15, "refused by the management server (15)", 1},
        CodeCase{17, "refused by the management server (17)", 1},
        CodeCase{4294967295u, "refused by the management server (4294967295)", 1}));

TEST(ResultNamesTest, EverySymbolIsNamedOnce) {
  unsigned named = 0;
  for (unsigned code = 0; code < 100; ++code) {
    if (const ResultName *name = findResultName(code)) {
      EXPECT_EQ(name->code, code);
      EXPECT_EQ(name->symbol.substr(0, 7), "RESULT_");
      ++named;
    }
  }
  EXPECT_EQ(named, 13u);
}

}  // namespace
}  // namespace qel::cli
