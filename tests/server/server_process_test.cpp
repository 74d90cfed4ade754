// qel-simd as a process: a scenario it cannot load, and the registration removed however the
// server ends.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>

#include "qel.h"
#include "simd_process.hpp"

namespace qel::test {
namespace {

TEST(SimdProcess, BadScenarioExitsWithStatus2AndEveryEndRemovesTheRegistration) {
  const std::string path = ::testing::TempDir() + "bad_scenario.json";
  std::ofstream(path) << R"({"hostname": "x", "interfaces": 3})";
  const uint32_t program = SimdProcess::freeProgram();
  std::string errors;
  EXPECT_EQ(SimdProcess::run(
                {"--foreground", "--program", std::to_string(program), "--scenario", path}, errors),
            2);
  EXPECT_NE(errors.find(path + ": interfaces: expected an array"), std::string::npos) << errors;
  EXPECT_FALSE(SimdProcess::registered(program));
  for (int way : {0, SIGTERM, SIGINT}) {
    SimdProcess server;
    ASSERT_TRUE(server.start());
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    EXPECT_EQ(way == 0 ? qelStopServer() : static_cast<unsigned>(kill(server.pid(), way)), 0u);
    EXPECT_EQ(server.waitForExit(std::chrono::seconds(10)), 0) << way;
    EXPECT_FALSE(SimdProcess::registered(server.program())) << way;
    qelDisconnect();
  }
}

}  // namespace
}  // namespace qel::test
