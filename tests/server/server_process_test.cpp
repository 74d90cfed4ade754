// qel-simd as a process: a scenario it cannot load, the registration removed however the server
// ends, and requests that do not decode.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>

#include "qel.h"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

TEST(SimdProcess, BadScenarioExitsWithStatus2BeforeRegistering) {
  const std::string path = ::testing::TempDir() + "bad_scenario.json";
  std::ofstream(path) << R"({"hostname": "x", "interfaces": 3})";
  const uint32_t program = SimdProcess::freeProgram();
  std::string errors;
  EXPECT_EQ(SimdProcess::run(
                {"--foreground", "--program", std::to_string(program), "--scenario", path}, errors),
            2);
  EXPECT_NE(errors.find(path + ": interfaces: expected an array"), std::string::npos) << errors;
  EXPECT_FALSE(SimdProcess::registered(program));
}

TEST(SimdProcess, EveryWayOfEndingRemovesTheRegistration) {
  for (int way : {0, SIGTERM, SIGINT}) {
    SimdProcess server;
    ASSERT_TRUE(server.start());
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    EXPECT_EQ(way == 0 ? qelStopServer() : static_cast<unsigned>(kill(server.pid(), way)), 0u);
    EXPECT_EQ(server.waitForExit(10s), 0) << way;
    EXPECT_FALSE(SimdProcess::registered(server.program())) << way;
  }
}

bool_t nothing(XDR *, void *) { return TRUE; }

TEST(SimdProcess, ArgumentsThatDoNotDecodeAreRefusedAndTheServerCarriesOn) {
  SimdProcess server;
  ASSERT_TRUE(server.start());
  CLIENT *raw = clnt_create("localhost", server.program(), 1, "tcp");
  ASSERT_NE(raw, nullptr);
  const auto call = [raw](rpcproc_t procedure, xdrproc_t codec, void *argument) {
    const timeval timeout{25, 0};
    return clnt_call(raw, procedure, codec, static_cast<char *>(argument),
                     reinterpret_cast<xdrproc_t>(nothing), nullptr, timeout);
  };
  const auto integer = reinterpret_cast<xdrproc_t>(xdr_int);
  int tooShort = 1;             // an interface is two words
  int hugeLength = 0x7FFFFFFF;  // a string length with nothing after it
  EXPECT_EQ(call(1020, integer, &tooShort), RPC_CANTDECODEARGS);
  EXPECT_EQ(call(2006, integer, &hugeLength), RPC_CANTDECODEARGS);
  EXPECT_EQ(call(1999, reinterpret_cast<xdrproc_t>(nothing), nullptr), RPC_PROCUNAVAIL);
  EXPECT_EQ(call(NULLPROC, reinterpret_cast<xdrproc_t>(nothing), nullptr), RPC_SUCCESS);
  clnt_destroy(raw);
}

}  // namespace
}  // namespace qel::test
