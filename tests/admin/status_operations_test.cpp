// The administration operations with a status reply: what each sends, and that the server's
// integer comes back as the result unchanged.
#include <gtest/gtest.h>

#include <functional>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using StatusOperationTest = ServerTest;

struct StatusCase {
  const char *name;
  uint32_t procedure;
  std::function<unsigned int()> call;
  Bytes request;
};

const StatusCase kStatusOperations[] = {
    {"console settings 1 to 5", proc::SetConsoleConfig::kNumber,
     [] { return qelSysSetConsoleConfig(1, 2, 3, 4, 5); }, words({0, 3, 2, 4, 5, 1})},
    {"console extremes", proc::SetConsoleConfig::kNumber,
     [] { return qelSysSetConsoleConfig(-1, INT32_MIN, 7, INT32_MAX, 4294967295UL); },
     words({0, 7, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF})},
    {"cpu -1, 1, 2, 3, 4", proc::SetCPUConfig::kNumber,
     [] { return qelSetCPUConfiguration(-1, 1, 2, 3, 4); }, words({0xFFFFFFFF, 1, 2, 3, 4})},
    {"cpu largest unsigned values", proc::SetCPUConfig::kNumber,
     [] { return qelSetCPUConfiguration(0, 4294967295U, 0, -2, 4294967295U); },
     words({0, 0xFFFFFFFF, 0, 0xFFFFFFFE, 0xFFFFFFFF})},
    {"pbm text", proc::SetPBMString::kNumber, [] { return qelSetPBMString(2, "abcde"); },
     concat({words({2}), xdrString("abcde")})},
    {"pbm null text travels empty", proc::SetPBMString::kNumber,
     [] { return qelSetPBMString(9, nullptr); }, words({9, 0})},
    {"pbm empty text", proc::SetPBMString::kNumber, [] { return qelSetPBMString(0, ""); },
     words({0, 0})},
    {"register pid with the largest tag", proc::RegisterPID::kNumber,
     [] { return qelRegisterPID(1234, 4294967295UL); },
     Bytes{0x00, 0x00, 0x04, 0xD2, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"notify", proc::Notify::kNumber, [] { return qelNotify(-7); }, words({0xFFFFFFF9})},
};

TEST_F(StatusOperationTest, RequestTravelsExactlyAndTheReplyIsTheResult) {
  for (const StatusCase &c : kStatusOperations) {
    for (int32_t reply : {0, 9, 17, -1, INT32_MIN}) {
      SCOPED_TRACE(std::string(c.name) + ", reply " + std::to_string(reply));
      server.clearLog();
      server.answer(c.procedure, Reply::integer(reply));
      EXPECT_EQ(c.call(), static_cast<unsigned int>(reply));
      const auto received = server.callsOf(c.procedure);
      ASSERT_EQ(received.size(), 1u);
      EXPECT_EQ(received.back().arguments, c.request);
      EXPECT_NE(handle(), nullptr) << "a server error keeps the connection";
    }
  }
}

}  // namespace
}  // namespace qel::test
