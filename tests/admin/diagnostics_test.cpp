// Texts that arrive empty still come back as fresh heap strings of their own.
#include "server_test.hpp"

namespace qel::test {
namespace {

using AdminTest = ServerTest;
constexpr uint32_t kGetPbm = 1050, kInternalState = 4000;

TEST_F(AdminTest, EmptyTextsArriveAsFreshEmptyStrings) {
  server.answer(kGetPbm, Reply::body(words({0, 0})));
  char *pbm = nullptr;
  ASSERT_EQ(qelGetPBMString(1, &pbm), RESULT_OK);
  EXPECT_EQ(take(pbm), "");
  server.answer(kInternalState, Reply::body(xdrString("")));
  char *first = qelInternalState(), *second = qelInternalState();
  EXPECT_NE(first, second) << "a fresh copy each time";
  EXPECT_EQ(take(first), "");
  EXPECT_EQ(take(second), "");
}

}  // namespace
}  // namespace qel::test
