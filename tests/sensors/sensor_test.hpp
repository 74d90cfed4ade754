// Shared fixture of the sensor operation tests: tables of scripted replies and what an
// operation must make of each.
#pragma once

#include <initializer_list>

#include "server_test.hpp"

namespace qel::test {

struct ReplyCase {
  const char *name;
  Reply reply;
  unsigned int result;
  bool keepsHandle;  // a reply came back, so the thread's handle stays
};

class SensorTest : public ServerTest {
 protected:
  // For each case: a fresh connection, the case's reply as the next answer of `procedure`,
  // then `operation()`, which checks its own outputs and returns its result.
  template <typename Operation>
  void expectReplies(uint32_t procedure, std::initializer_list<ReplyCase> cases,
                     Operation operation) {
    for (const ReplyCase &c : cases) {
      SCOPED_TRACE(c.name);
      qelDisconnect();
      ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
      server.answerOnce(procedure, c.reply);
      EXPECT_EQ(operation(), c.result);
      EXPECT_EQ(handle() != nullptr, c.keepsHandle);
    }
  }
};

}  // namespace qel::test
