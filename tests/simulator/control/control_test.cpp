// SPDX-License-Identifier: Apache-2.0
// qel-simd steered while it runs: faults, state changes, restarts and the request record, set
// through its control channel and seen through the library.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "control_client.hpp"
#include "qel.h"
#include "server_test.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

// Each fault hits one call; the library's result is what a real server misbehaving so would
// give, and the call after it succeeds again, on a new connection where the old one broke.
const struct {
  const char *fault;
  unsigned (*call)();
  unsigned expected;
} kFaults[] = {
    {R"({"proc": "PlatformSetPowerLevel", "kind": "code", "value": 17})", powerLevel, 17},
    {R"({"proc": 1001, "kind": "code", "value": -5})", platformState, 5},
    {R"({"proc": "SysGetSensorValue", "kind": "code", "value": 16, "arg": "cpu1-temp"})",
     bothCpuTemps, 16},
    {R"({"proc": "PlatformGetState", "kind": "close"})", platformState, 2},
    {R"({"proc": "PlatformGetState", "kind": "cut", "value": 10})", platformState, 2},
    {R"({"proc": "GetHostname", "kind": "garble"})", hostname, 2},
};

// Each change, in order, shows in what the library reads next.
const struct {
  const char *change;
  double (*read)();
  double expected;
} kChanges[] = {
    {R"({"cmd": "sensor", "id": "cpu0-temp", "value": 97})", [] { return reading("cpu0-temp"); },
     97},
    {R"({"cmd": "sensor", "id": "cpu0-temp", "available": false})",
     [] { return reading("cpu0-temp"); }, -300},
    {R"({"cmd": "component", "name": "cpu1", "present": false})",
     [] { return readBy(qelSysGetPresenceDetect, "cpu1"); }, 0},
    {R"({"cmd": "component", "name": "cpu0", "status": 2})",
     [] { return readBy(qelSysGetComponentStatus, "cpu0"); }, 2},
    {R"({"cmd": "fan", "mode": 1})", fanMode, 1},
    {R"({"cmd": "power", "on": false, "reason": 2})", shutdownReason, 2},
    {R"({"cmd": "power", "on": true})", hostState, 1},  // booting for the scenario's 5 s
    {R"({"cmd": "clock", "advance": 6})", hostState, 2},
};

Json faultRequest(const char *fault) {
  Json request = Json::parse(fault);
  request.update({{"cmd", "fault"}, {"count", 1}});
  return request;
}

// The scenario's timeline holds every fault, then every change, kStep seconds of the SP's clock
// apart, after one entry that comes due in real time.
constexpr double kStep = 1000;
Json timeline() {
  Json entries =
      Json::parse(R"([{"at": 0.2, "cmd": "sensor", "id": "ambient-temp", "value": 40}])");
  double at = 0;
  auto add = [&](Json entry) {
    entry["at"] = at += kStep;
    entries.push_back(entry);
  };
  for (const auto &c : kFaults) add(faultRequest(c.fault));
  for (const auto &c : kChanges) add(Json::parse(c.change));
  return entries;
}

// A server of its own per test, from the example scenario with a timeline added.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qel-control-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    directory = dir;
    controlPath = directory + "/ctl.sock";
    Json scenario = Json::parse(std::ifstream(QEL_EXAMPLE_SCENARIO));
    scenario["timeline"] = timeline();
    std::ofstream(directory + "/scenario.json") << scenario.dump();
    ASSERT_TRUE(
        server.start(0, {"--scenario", directory + "/scenario.json", "--control", controlPath}));
    ASSERT_EQ(qelConnect(nullptr, server.program()), 0u);
  }
  void TearDown() override {
    qelDisconnect();
    server.stop();
    std::remove((directory + "/scenario.json").c_str());
    rmdir(directory.c_str());
  }
  Json ask(const Json &request) { return Control(controlPath).ask(request); }
  void expectOk(const Json &r) { EXPECT_EQ(ask(r).value("ok", false), true) << r; }
  // Through the control channel, or by moving the SP's clock on to the request's timeline entry.
  // The clock's answer comes before the entry runs; the next request's, after.
  void apply(const Json &request, bool fromTimeline) {
    if (!fromTimeline) return expectOk(request);
    expectOk({{"cmd", "clock"}, {"advance", kStep}});
    expectOk({{"cmd", "faults"}});
  }
  void eachFaultAndChange(bool fromTimeline) {
    for (const auto &c : kFaults) {
      SCOPED_TRACE(c.fault);
      apply(faultRequest(c.fault), fromTimeline);
      EXPECT_EQ(c.call(), c.expected);
      EXPECT_EQ(c.call(), 0u);
      EXPECT_EQ(ask({{"cmd", "faults"}})["faults"], Json::array());
    }
    for (const auto &c : kChanges) {
      apply(Json::parse(c.change), fromTimeline);
      EXPECT_EQ(c.read(), c.expected) << c.change;
    }
  }

  SimdProcess server;
  std::string directory;
  std::string controlPath;
};

TEST_F(ControlTest, EachFaultAndChangeWorksThroughTheChannel) { eachFaultAndChange(false); }

TEST_F(ControlTest, EachFaultAndChangeWorksFromTheTimeline) {
  EXPECT_TRUE(eventually([&] { return reading("ambient-temp") == 40; }));
  eachFaultAndChange(true);
}

// A reply held past the library's 25 s timeout fails the call; the next call connects anew.
TEST_F(ControlTest, AReplyPastTheTimeoutFailsAndTheNextCallConnectsAnew) {
  ASSERT_EQ(powerState(), 0u);
  const auto first = localPort();
  expectOk(faultRequest(R"({"proc": "PlatformGetPowerState", "kind": "delay", "value": 26000})"));
  EXPECT_EQ(powerState(), 2u);
  EXPECT_EQ(powerState(), 0u);
  EXPECT_NE(localPort(), first);
}

// After a reset to the defaults every later call of the thread waits up to 180 s: a reply 26 s
// late still counts.
TEST_F(ControlTest, AfterAResetAReplyPastTwentyFiveSecondsStillCounts) {
  const unsigned short selector = 0;
  ASSERT_EQ(qelResetToDefaultSettings(&selector), 0u);
  ASSERT_EQ(powerState(), 0u);
  const auto first = localPort();
  expectOk(faultRequest(R"({"proc": "PlatformGetPowerState", "kind": "delay", "value": 26000})"));
  EXPECT_EQ(powerState(), 0u);
  EXPECT_EQ(localPort(), first);
}

// A reply kept back, for a time or until its fault is cleared, holds up no other client.
TEST_F(ControlTest, AHeldReplyHoldsUpNoOtherClient) {
  for (const std::string kind : {"delay", "hang"}) {
    SCOPED_TRACE(kind);
    ask({{"cmd", "stats"}, {"reset", true}});
    Json fault = {{"cmd", "fault"}, {"proc", "SysGetSensorValue"}, {"kind", kind}, {"count", 1}};
    if (kind == "delay") fault["value"] = 3000;
    const Json id = ask(fault)["id"];
    std::atomic<bool> answered = false;
    std::thread caller([&] {
      EXPECT_EQ(qelConnect(nullptr, server.program()), 0u);
      EXPECT_EQ(sensorValue("cpu0-temp"), 0u);
      answered = true;
      qelDisconnect();
    });
    ASSERT_TRUE(eventually([&] { return ask({{"cmd", "stats"}})["total"] == 1; }));
    EXPECT_EQ(powerState(), 0u);
    EXPECT_FALSE(answered);
    if (kind == "hang") {
      EXPECT_EQ(ask({{"cmd", "clear"}, {"id", id}})["cleared"], Json::array({id}));
    }
    caller.join();
  }
}

// After a restart in place the old connection is gone: one call fails, the next finds the
// server anew. While the server is away it is not registered.
TEST_F(ControlTest, TheServerRestartsAndComesBackAfterAnAbsence) {
  ASSERT_EQ(powerState(), 0u);
  expectOk({{"cmd", "restart"}});
  EXPECT_EQ(powerState(), 2u);
  EXPECT_EQ(powerState(), 0u);
  expectOk({{"cmd", "away"}, {"seconds", 1}});
  EXPECT_EQ(powerState(), 2u);
  EXPECT_EQ(powerState(), 24u);
  ASSERT_TRUE(eventually([&] { return registered(server.program()); }));
  EXPECT_EQ(powerState(), 0u);
}

TEST_F(ControlTest, TheTraceShowsWhatWasAskedAndAnswered) {
  float reading = 0;
  expectOk({{"cmd", "fault"}, {"proc", 2006}, {"kind", "code"}, {"value", 16}, {"count", 1}});
  EXPECT_EQ(qelSysGetSensorValue("psu0-vout", &reading), 16u);
  const Json last = ask({{"cmd", "trace"}, {"last", 1}})["requests"][0];
  EXPECT_EQ(last["proc"], "SysGetSensorValue");
  EXPECT_EQ(last["number"], 2006);
  EXPECT_EQ(last["args"], "psu0-vout");
  EXPECT_EQ(last["answer"], Json({{"errorCode", 16}}));
  EXPECT_EQ(ask({{"cmd", "stats"}})["procedures"], Json({{"SysGetSensorValue", 1}}));
}

// Bad requests get an error line; a client that says nothing or sends too much stalls no one.
TEST_F(ControlTest, TheChannelSurvivesBadInputAndSilentClients) {
  Control silent(controlPath);
  const std::pair<std::string, std::string> bad[] = {
      {"not json\n", "not valid JSON"},
      {"[1, 2]\n", "expected an object"},
      {"{\"cmd\": \"launch\"}\n", "unknown command"},
      {"{\"cmd\": \"fault\", \"proc\": \"NoSuch\", \"kind\": \"code\", \"value\": 1}\n", "NoSuch"},
      {"{\"cmd\": \"fault\", \"proc\": 1001, \"kind\": \"melt\"}\n", "unknown kind"},
      {std::string(70000, 'x') + "\n", "longer than"},
  };
  for (const auto &[line, problem] : bad) {
    const Json reply = Json::parse(Control(controlPath).exchange(line), nullptr, false);
    EXPECT_EQ(reply.value("ok", true), false) << problem;
    EXPECT_NE(reply.value("error", "").find(problem), std::string::npos) << reply;
  }
  EXPECT_EQ(sensorValue("\xff\xfe"), 16u);  // a traced argument that is not UTF-8
  EXPECT_EQ(ask({{"cmd", "trace"}})["ok"], true);
  EXPECT_EQ(powerState(), 0u);
}

TEST_F(ControlTest, TheChannelRefusesAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  struct stat info {};
  const std::string socket = controlPath;
  ASSERT_EQ(stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Open the file's mode, so that only the peer check stands in the way.
  ASSERT_EQ(chmod(directory.c_str(), 0755) | chmod(socket.c_str(), 0666), 0);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    const Json reply = Control(socket).ask({{"cmd", "power"}, {"on", false}});
    _exit(reply.is_object() && reply.value("ok", true) == false ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  int power = -1;
  EXPECT_EQ(qelPlatformGetPowerState(&power), 0u);
  EXPECT_EQ(power, 1);
}

}  // namespace
}  // namespace qel::test
