// SPDX-License-Identifier: Apache-2.0
// qel-simd as a process: a scenario it cannot load, the registration removed however the
// server ends, and the readiness it reports to a service manager.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <fstream>
#include <thread>

#include "qel.h"
#include "scripted_server.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

TEST(SimdProcess, BadScenarioExitsWithStatus2AndEveryEndRemovesTheRegistration) {
  const std::string path = ::testing::TempDir() + "bad_scenario.json";
  std::ofstream(path) << R"({"hostname": "x", "interfaces": 3})";
  const uint32_t program = freeProgram();
  std::string errors;
  EXPECT_EQ(
      SimdProcess::run("--foreground --program " + std::to_string(program) + " --scenario " + path,
                       errors),
      2);
  EXPECT_NE(errors.find(path + ": interfaces: expected an array"), std::string::npos) << errors;
  EXPECT_FALSE(registered(program));
  for (int way : {0, SIGTERM, SIGINT}) {
    SimdProcess server;
    ASSERT_TRUE(server.start());
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    EXPECT_EQ(way == 0 ? qelStopServer() : static_cast<unsigned>(kill(server.pid(), way)), 0u);
    EXPECT_EQ(server.waitForExit(std::chrono::seconds(10)), 0) << way;
    EXPECT_FALSE(registered(server.program())) << way;
    qelDisconnect();
  }
}

// A server killed before it could remove its registration leaves it behind: the next server
// on that number replaces it and says so; one that finds a server answering refuses to start.
TEST(SimdProcess, ReplacesARegistrationWhoseServerIsGone) {
  SimdProcess killed, running;
  ASSERT_TRUE(killed.start());
  const std::string program = std::to_string(killed.program());
  kill(killed.pid(), SIGKILL);
  killed.waitForExit(std::chrono::seconds(10));
  ASSERT_TRUE(registered(killed.program()));
  // The stale registration makes start() return at once: the new server is waited for.
  ASSERT_TRUE(running.start(killed.program()));
  std::string said;
  EXPECT_TRUE(eventually([&] {
    return SimdProcess::run("ctl --program " + program + " stats", said) == 0;
  })) << said;
  EXPECT_EQ(SimdProcess::run("--foreground --program " + program, said), 1);
  EXPECT_NE(said.find("program " + program +
                      " is already registered with the port mapper, and a server answers at its "
                      "port "),
            std::string::npos)
      << said;
}

// `qel-simd ctl` names an argument that its command lacks, and what it means, before it
// looks for a server (there is none on this program number).
TEST(SimdProcess, CtlNamesAMissingArgument) {
  const std::pair<const char *, const char *> kMissing[] = {
      {"fault GetIP cut",
       "fault: value is missing: a cut fault needs the number of reply bytes "
       "that go out, record mark included"},
      {"fault GetIP code",
       "fault: value is missing: a code fault needs the code that the calls "
       "answer with"},
      {"sensor", "sensor: id is missing: the sensor's id"},
  };
  const std::string ctl = "ctl --program " + std::to_string(freeProgram()) + " ";
  for (const auto &[line, message] : kMissing) {
    std::string output;
    EXPECT_EQ(SimdProcess::run(ctl + line, output), 64) << line;
    EXPECT_EQ(output, std::string("qel-simd ctl: ") + message + "\n") << line;
  }
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
    const uint32_t program = freeProgram();
    std::thread starting([&] { server.start(program); });
    char message[32] = {};
    const ssize_t got = recv(manager, message, sizeof message, 0);
    const bool registeredWhenReady = registered(program);
    starting.join();
    unsetenv("NOTIFY_SOCKET");
    close(manager);
    EXPECT_EQ(std::string(message, got > 0 ? got : 0), "READY=1");
    EXPECT_TRUE(registeredWhenReady);
  }
}

}  // namespace
}  // namespace qel::test
