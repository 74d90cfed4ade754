// SPDX-License-Identifier: Apache-2.0
// The library against qel-simd as a process: every operation of the catalogue is understood and
// answered, from many threads at once, and what is set is read back (the DNS servers and the
// console settings in the command-line tool's lines).
#include <thread>
#include <vector>

#include "operations.hpp"
#include "server_test.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

// A qel-simd of its own per test, from its built-in scenario.
class SimdEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  }
  void TearDown() override { qelDisconnect(); }
  SimdProcess server;
};

// Runs every operation but the stop once on the calling thread; names the calls that got no
// reply or lost the handle.
std::string runCatalogue() {
  std::string failed;
  for (const Operation &op : operations()) {
    if (op.convention == Convention::kStop) continue;
    Outputs out;
    if (op.call(out) == RESULT_CALL_FAILED || handle() == nullptr) {
      failed += std::string(op.name) + " ";
      qelConnect(nullptr, 0);
    }
  }
  return failed;
}

TEST_F(SimdEndToEnd, EveryOperationIsAnsweredFromManyThreadsAndTheStopEndsTheServer) {
  std::vector<std::string> failed(16);
  std::vector<std::thread> threads;
  for (std::string &mine : failed) {
    threads.emplace_back([&mine] {
      mine = qelConnect(nullptr, 0) != RESULT_OK ? "connect" : runCatalogue();
      qelDisconnect();
    });
  }
  for (std::thread &thread : threads) thread.join();
  for (const std::string &mine : failed) EXPECT_EQ(mine, "");
  EXPECT_EQ(qelStopServer(), RESULT_OK);
  EXPECT_EQ(server.waitForExit(std::chrono::seconds(10)), 0);
}

TEST_F(SimdEndToEnd, WhatIsSetIsReadBack) {
  ASSERT_EQ(qelPlatformSetPowerLevel(60), RESULT_OK);
  int level = 0;
  ASSERT_EQ(qelPlatformGetPowerLevel(&level), RESULT_OK);
  EXPECT_EQ(level, 60);

  ASSERT_EQ(qelSetIP_Str(0, 0, 1, 0, "203.0.113.9", "255.255.255.128", "203.0.113.1", nullptr),
            RESULT_OK);
  IPInfo info{};
  ASSERT_EQ(qelGetIP(0, 0, &info), RESULT_OK);
  EXPECT_EQ(info.ipAddress, 0xCB007109u);
  EXPECT_EQ(info.netmask, 0xFFFFFF80u);
  EXPECT_STREQ(info.label, "mgmt0");

  char *text = nullptr;
  ASSERT_EQ(qelSetHostname(0, "sp-lab"), RESULT_OK);
  ASSERT_EQ(qelGetHostname(0, &text), RESULT_OK);
  EXPECT_EQ(take(text), "sp-lab");

  const SensorThresholds set{1, 1, 1, 1, 10.0f, 20.0f, 80.0f, 90.0f};
  ASSERT_EQ(qelSysSetSensorThresholds("cpu0-temp", &set), RESULT_OK);
  SensorThresholds got{};
  ASSERT_EQ(qelSysGetSensorThresholds("cpu0-temp", &got), RESULT_OK);
  EXPECT_EQ(got.threshold3, 80.0f);
  EXPECT_EQ(got.thresholdFlag4, 1);

  ASSERT_EQ(qelSetPBMString(1, "pbm text"), RESULT_OK);
  ASSERT_EQ(qelGetPBMString(1, &text), RESULT_OK);
  EXPECT_EQ(take(text), "pbm text");

  float value = 0;
  ASSERT_EQ(qelSysGetSensorValue("product-id", &value), RESULT_OK);
  EXPECT_EQ(value, 26.0f);
}

}  // namespace
}  // namespace qel::test
