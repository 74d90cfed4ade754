// Reading the console settings: the record's fields are crossed against the parameters, and
// every output is written whenever a reply came, whatever its errorCode.
#include <gtest/gtest.h>

#include <tuple>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using ConsoleTest = ServerTest;

constexpr uint32_t kGetConsole = proc::GetConsoleConfig::kNumber;

using Settings = std::tuple<int, int, int, int, unsigned long>;

struct ConsoleReplyCase {
  const char *name;
  Bytes reply;  // errorCode, then settings 3, 2, 4, 5, 1 as they travel
  unsigned int result;
  Settings settings;  // settings 1 to 5 as the caller receives them
};

const ConsoleReplyCase kConsoleReplies[] = {
    {"settings crossed against their positions", words({0, 3, 2, 4, 5, 1}), 0, {1, 2, 3, 4, 5}},
    {"server error still hands out the settings",
     words({6, 30, 20, 40, 50, 10}),
     6,
     {10, 20, 30, 40, 50}},
    {"negative error code passes unchanged",
     words({0xFFFFFFFF, 0, 0, 0, 0, 0}),
     4294967295u,
     {0, 0, 0, 0, 0}},
    {"largest fifth setting reads back unchanged",
     words({0, 0xFFFFFFFD, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}),
     0,
     {-1, INT32_MIN, -3, INT32_MAX, 4294967295UL}},
};

TEST_F(ConsoleTest, ReadHandsOutEverySettingWhateverTheErrorCode) {
  for (const ConsoleReplyCase &c : kConsoleReplies) {
    SCOPED_TRACE(c.name);
    server.answer(kGetConsole, Reply::body(c.reply));
    int v1 = 111, v2 = 222, v3 = 333, v4 = 444;
    unsigned long v5 = 555;
    EXPECT_EQ(qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5), c.result);
    EXPECT_EQ(std::make_tuple(v1, v2, v3, v4, v5), c.settings);
    EXPECT_TRUE(server.callsOf(kGetConsole).back().arguments.empty());
    EXPECT_NE(handle(), nullptr) << "a server error keeps the connection";
  }
}

TEST_F(ConsoleTest, ReadWithoutOutputsStillAsksTheServer) {
  for (uint32_t errorCode : {0u, 6u}) {
    server.clearLog();
    server.answer(kGetConsole, Reply::body(words({errorCode, 3, 2, 4, 5, 1})));
    EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, nullptr, nullptr, nullptr), errorCode);
    EXPECT_EQ(server.callsOf(kGetConsole).size(), 1u);
  }
}

TEST_F(ConsoleTest, ReadWritesEachGivenOutputFromItsOwnField) {
  // Any one output alone: a mix-up between fields or a write through a null pointer shows.
  server.answer(kGetConsole, Reply::body(words({0, 3, 2, 4, 5, 1})));
  int v1 = 0, v2 = 0, v3 = 0, v4 = 0;
  unsigned long v5 = 0;
  EXPECT_EQ(qelSysGetConsoleConfig(&v1, nullptr, nullptr, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, &v2, nullptr, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, &v3, nullptr, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, nullptr, &v4, nullptr), RESULT_OK);
  EXPECT_EQ(qelSysGetConsoleConfig(nullptr, nullptr, nullptr, nullptr, &v5), RESULT_OK);
  EXPECT_EQ(std::make_tuple(v1, v2, v3, v4, v5), Settings(1, 2, 3, 4, 5));
}

}  // namespace
}  // namespace qel::test
