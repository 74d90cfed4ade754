// qel-simd as a process: registration and its removal, scenario files on the command line,
// server control through the library, and requests that do not decode.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <thread>

#include "protocol/procedures.hpp"
#include "qel.h"
#include "simd_process.hpp"
#include "simd_test.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

constexpr rpcproc_t kUnserved = 1999;  // between the catalogue and the sensor procedures
constexpr timeval kTimeout{25, 0};

// A client of the server's own, for calls the library never makes.
struct RawClient {
  explicit RawClient(uint32_t program) : client(clnt_create("localhost", program, 1, "tcp")) {}
  ~RawClient() {
    if (client) clnt_destroy(client);
  }
  template <typename Arg>
  clnt_stat call(rpcproc_t procedure, xdrproc_t argCodec, Arg *arg) {
    int reply = 0;
    return clnt_call(client, procedure, argCodec, reinterpret_cast<char *>(arg),
                     reinterpret_cast<xdrproc_t>(xdr_int), reinterpret_cast<char *>(&reply),
                     kTimeout);
  }
  CLIENT *client;
};

std::string writeFile(const std::string &name, const std::string &text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

TEST(SimdProcess, StopProcedureEndsTheServerAndRemovesTheRegistration) {
  SimdProcess server;
  ASSERT_TRUE(server.start());
  ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  EXPECT_EQ(qelStopServer(), RESULT_OK);
  EXPECT_EQ(server.waitForExit(10s), 0);
  EXPECT_FALSE(SimdProcess::registered(server.program()));
}

TEST(SimdProcess, SigtermEndsTheServerAndRemovesTheRegistration) {
  SimdProcess server;
  ASSERT_TRUE(server.start());
  EXPECT_TRUE(SimdProcess::registered(server.program()));
  EXPECT_EQ(server.stop(), 0);
  EXPECT_FALSE(SimdProcess::registered(server.program()));
}

TEST(SimdProcess, SigintEndsTheServerAndRemovesTheRegistration) {
  SimdProcess server;
  ASSERT_TRUE(server.start());
  kill(server.pid(), SIGINT);
  EXPECT_EQ(server.waitForExit(10s), 0);
  EXPECT_FALSE(SimdProcess::registered(server.program()));
}

TEST(SimdProcess, RefusesAProgramNumberThatIsTaken) {
  SimdProcess first;
  ASSERT_TRUE(first.start());
  std::string errors;
  EXPECT_EQ(
      SimdProcess::run({"--foreground", "--program", std::to_string(first.program())}, errors), 1);
  EXPECT_NE(errors.find("already registered"), std::string::npos) << errors;
  EXPECT_TRUE(SimdProcess::registered(first.program()));
}

TEST(SimdProcess, BadScenarioFileExitsWithStatus2BeforeRegistering) {
  const std::string path = writeFile("bad_scenario.json", R"({"hostname": "x", "interfaces": 3})");
  const uint32_t program = SimdProcess::freeProgram();
  std::string errors;
  EXPECT_EQ(SimdProcess::run(
                {"--foreground", "--program", std::to_string(program), "--scenario", path}, errors),
            2);
  EXPECT_NE(errors.find(path + ": interfaces: expected an array"), std::string::npos) << errors;
  EXPECT_FALSE(SimdProcess::registered(program));
}

TEST(SimdProcess, MissingScenarioFileExitsWithStatus2) {
  std::string errors;
  EXPECT_EQ(SimdProcess::run({"--check", "--scenario", "/nonexistent.json"}, errors), 2);
  EXPECT_NE(errors.find("/nonexistent.json: cannot be read"), std::string::npos) << errors;
}

TEST(SimdProcess, ShippedScenarioChecksOut) {
  std::string errors;
  EXPECT_EQ(SimdProcess::run({"--check", "--scenario", QEL_EXAMPLE_SCENARIO}, errors), 0) << errors;
}

TEST(SimdProcess, BadOptionsExitWithStatus2) {
  std::string errors;
  EXPECT_EQ(SimdProcess::run({"--program", "0x1zz"}, errors), 2);
  EXPECT_EQ(SimdProcess::run({"--no-such-option"}, errors), 2);
  EXPECT_EQ(SimdProcess::run({"--log-level", "9"}, errors), 2);
}

TEST(SimdProcess, DetachesOnceRegisteredAndRemovesItsPidFile) {
  const uint32_t program = SimdProcess::freeProgram();
  const std::string pidFile = ::testing::TempDir() + "simd_detach.pid";
  std::string errors;
  ASSERT_EQ(
      SimdProcess::run(
          {"--program", std::to_string(program), "--pidfile", pidFile, "--log-level", "1"}, errors),
      0)
      << errors;
  EXPECT_TRUE(SimdProcess::registered(program));
  pid_t pid = 0;
  std::ifstream(pidFile) >> pid;
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  for (int i = 0; i < 500 && SimdProcess::registered(program); ++i) usleep(20000);
  EXPECT_FALSE(SimdProcess::registered(program));
  for (int i = 0; i < 500 && std::ifstream(pidFile).good(); ++i) usleep(20000);
  EXPECT_FALSE(std::ifstream(pidFile).good());
}

// Started by a service manager (NOTIFY_SOCKET names a path, or an abstract socket after '@'),
// the server reports READY=1, and only once it is registered.
TEST(SimdProcess, TellsTheServiceManagerOnceRegistered) {
  const std::string path = ::testing::TempDir() + "simd_notify.sock";
  for (const std::string &name : {path, "@qel-simd-notify-" + std::to_string(getpid())}) {
    SCOPED_TRACE(name);
    unlink(path.c_str());
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path, sizeof address.sun_path - 1);
    if (name[0] == '@') address.sun_path[0] = '\0';
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr *>(&address), size), 0);
    const timeval limit{10, 0};
    setsockopt(manager, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    SimdProcess server;
    const uint32_t program = SimdProcess::freeProgram();
    std::thread starting([&] { server.start(program); });
    char message[32] = {};
    const ssize_t got = recv(manager, message, sizeof message, 0);
    const bool registeredWhenReady = SimdProcess::registered(program);
    starting.join();
    unsetenv("NOTIFY_SOCKET");
    close(manager);
    EXPECT_EQ(std::string(message, got > 0 ? got : 0), "READY=1");
    EXPECT_TRUE(registeredWhenReady);
  }
}

using SimdRequests = SimdTest;

TEST_F(SimdRequests, ProcedureZeroAnswers) {
  RawClient raw(server.program());
  ASSERT_NE(raw.client, nullptr);
  EXPECT_EQ(clnt_call(raw.client, NULLPROC, reinterpret_cast<xdrproc_t>(xdrNothing), nullptr,
                      reinterpret_cast<xdrproc_t>(xdrNothing), nullptr, kTimeout),
            RPC_SUCCESS);
}

TEST_F(SimdRequests, ArgumentsThatDoNotDecodeGetGarbageArgumentsAndTheServerCarriesOn) {
  RawClient raw(server.program());
  ASSERT_NE(raw.client, nullptr);
  int tooShort = 1;  // an interface selector is two words
  EXPECT_EQ(raw.call(proc::GetIP::kNumber, reinterpret_cast<xdrproc_t>(xdr_int), &tooShort),
            RPC_CANTDECODEARGS);
  int hugeLength = 0x7FFFFFFF;  // a string length with nothing after it
  EXPECT_EQ(
      raw.call(proc::GetSensorValue::kNumber, reinterpret_cast<xdrproc_t>(xdr_int), &hugeLength),
      RPC_CANTDECODEARGS);
  EXPECT_EQ(
      raw.call(kUnserved, reinterpret_cast<xdrproc_t>(xdrNothing), static_cast<char *>(nullptr)),
      RPC_PROCUNAVAIL);
  EXPECT_EQ(qelRebootSP(), RESULT_OK);
}

TEST(SimdConfigure, RestoresTheScenarioAndRejectsAFileThatWentBad) {
  const std::string path = writeFile("configure_scenario.json", R"({
    "hostname": "first", "interfaces": [{"label": "e0", "hardwareAddress": "02:00:00:00:00:09"}],
    "components": [], "sensors": []})");
  SimdProcess custom;
  ASSERT_TRUE(custom.start(0, {"--scenario", path}));
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, custom.program()), RESULT_OK);
  ASSERT_EQ(qelSetHostname(0, "changed"), RESULT_OK);
  ASSERT_EQ(qelConfigureServer(), RESULT_OK);
  char *hostname = nullptr;
  ASSERT_EQ(qelGetHostname(0, &hostname), RESULT_OK);
  EXPECT_STREQ(hostname, "first");
  free(hostname);

  ASSERT_EQ(qelSetHostname(0, "kept"), RESULT_OK);
  writeFile("configure_scenario.json", "{ broken");
  EXPECT_EQ(qelConfigureServer(), 17u);
  ASSERT_EQ(qelGetHostname(0, &hostname), RESULT_OK);
  EXPECT_STREQ(hostname, "kept");
  free(hostname);
  qelDisconnect();
}

}  // namespace
}  // namespace qel::test
