// SPDX-License-Identifier: Apache-2.0
// qel-exporter as users run it: the built program between two qel-simd processes (A and B, on
// programs of their own) and a real Prometheus server, read through Prometheus's query API;
// promtool judges the output. The exporter's exit status shows what the sanitizers found in it.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "child_process.hpp"
#include "scripted_server.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Samples = std::map<std::string, std::string>;  // instance -> value

struct Reply {
  int status = 0;
  std::string body;
  double seconds = 0;
};

Reply get(int port, const std::string &path, const httplib::Headers &headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(60s);
  const auto start = Clock::now();
  const auto result = client.Get(path.c_str(), headers);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result ? Reply{result->status, result->body, seconds} : Reply{};
}

// Prometheus scrapes every second and takes seconds to start: a minute, asked every 200 ms.
bool patiently(const std::function<bool()> &holds) { return eventually(holds, 60s, 200ms); }

// Prometheus's answer to `expr`, by instance.
Samples query(int port, const std::string &expr) {
  httplib::Client client("127.0.0.1", port);
  const auto result = client.Get("/api/v1/query", httplib::Params{{"query", expr}}, {});
  Samples samples;
  if (!result || result->status != 200) return samples;
  const auto answer = nlohmann::json::parse(result->body);
  for (const auto &sample : answer["data"]["result"]) {
    samples[sample["metric"]["instance"]] = sample["value"][1];
  }
  return samples;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string fileText(const std::string &path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// A line of A's scrape and the same line of B's, one per collector.
const std::pair<const char *, const char *> kDistinct[] = {
    {"qel_temperature_celsius{sensor=\"cpu0-temp\",component=\"cpu0\"} 41\n",
     "qel_temperature_celsius{sensor=\"cpu0-temp\",component=\"cpu0\"} 73\n"},
    {"qel_component_status{component=\"psu0\"} 0\n",
     "qel_component_status{component=\"psu0\"} 1\n"},
    {"qel_sp_info{hostname=\"sp-a\",product=\"\"} 1\n",
     "qel_sp_info{hostname=\"sp-b\",product=\"\"} 1\n"},
    {"qel_network_interface_enabled{interface=\"0\",label=\"sp-a-mgmt\"} 1\n",
     "qel_network_interface_enabled{interface=\"0\",label=\"sp-b-mgmt\"} 1\n"},
    {"qel_fan_controller_target_temperature_celsius 60\n",
     "qel_fan_controller_target_temperature_celsius 70\n"},
};

class ExporterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("qel-exporter-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "sp-b.json") << replaced(fileText(QEL_EXPORTER_SCENARIO), "sp-a", "sp-b");
    ASSERT_TRUE(a_.start(0, {"--scenario", QEL_EXPORTER_SCENARIO}));
    ASSERT_TRUE(b_.start(0, {"--scenario", dir_ / "sp-b.json"}));
    ctl(a_, "sensor cpu0-temp --value 41");
    ctl(b_, "sensor cpu0-temp --value 73");
    ctl(b_, "component psu0 --status 1");
    ctl(b_, "fan --target 70");
    exporter_ = startExporter({});
  }
  void TearDown() override {
    if (exporter_.child) {
      EXPECT_EQ(exporter_.child->stop(), 0);
    }
    std::filesystem::remove_all(dir_);
  }

  struct Exporter {
    int port;
    std::unique_ptr<ChildProcess> child;
  };
  Exporter startExporter(std::vector<std::string> args) {
    const int port = freePort();
    args.insert(args.begin(),
                {QEL_EXPORTER_PATH, "--web.listen-address", "127.0.0.1:" + std::to_string(port),
                 "--program", std::to_string(a_.program())});
    Exporter exporter{port, std::make_unique<ChildProcess>(args)};
    EXPECT_TRUE(patiently([port] { return get(port, "/-/healthy").status == 200; }));
    return exporter;
  }
  static void ctl(const SimdProcess &simd, const std::string &command) {
    std::string output;
    ASSERT_EQ(
        SimdProcess::run("ctl --program " + std::to_string(simd.program()) + " " + command, output),
        0)
        << output;
  }
  static std::string probe(const SimdProcess &simd) {
    return "/probe?target=localhost&program=" + std::to_string(simd.program());
  }

  std::filesystem::path dir_;
  SimdProcess a_, b_;
  Exporter exporter_;
};

TEST_F(ExporterTest, PromtoolFindsNoProblems) {
  const Reply scrape = get(exporter_.port, "/metrics");
  ASSERT_EQ(scrape.status, 200);
  EXPECT_NE(scrape.body.find(kDistinct[0].first), std::string::npos) << scrape.body;
  std::ofstream(dir_ / "scrape.txt") << scrape.body;
  std::string said;
  EXPECT_EQ(runCommand(QEL_PROMTOOL " check metrics < " + (dir_ / "scrape.txt").string(), said), 0);
  EXPECT_EQ(said, "");
}

TEST_F(ExporterTest, BadRequestsAndAnUnreachableTarget) {
  const std::tuple<std::string, int, std::string> kRequests[] = {
      {"/nope", 404, "not found\n"},
      {"/probe", 400, "target is missing\n"},
      {"/probe?target=sp%201", 400, "target is not a host name or address\n"},
      {"/probe?target=localhost&program=" + std::to_string(freeProgram()), 200,
       "qel_up{collector=\"sensors\"} 0\nqel_up{collector=\"components\"} 0\n"},
  };
  for (const auto &[path, status, body] : kRequests) {
    const Reply reply = get(exporter_.port, path);
    EXPECT_EQ(reply.status, status) << path;
    EXPECT_NE(reply.body.find(body), std::string::npos) << path << ": " << reply.body;
  }
}

TEST_F(ExporterTest, ProbesOfTwoSimulatorsAtOnceNeverMix) {
  std::atomic<int> right{0}, wrong{0};
  auto prober = [&](int first) {
    for (int i = first; i < first + 24; ++i) {
      const bool b = i % 3 == 1;
      const Reply reply = get(exporter_.port, i % 3 == 0 ? "/metrics" : probe(b ? b_ : a_));
      // A collector that fails has no lines: finding every one of them, every one succeeded.
      bool ok = reply.status == 200;
      for (const auto &[lineA, lineB] : kDistinct) {
        ok = ok && reply.body.find(b ? lineB : lineA) != std::string::npos &&
             reply.body.find(b ? lineA : lineB) == std::string::npos;
      }
      ++(ok ? right : wrong);
    }
  };
  std::vector<std::thread> probers;
  for (int t = 0; t < 4; ++t) probers.emplace_back(prober, t);
  for (std::thread &thread : probers) thread.join();
  EXPECT_EQ(right, 96);
  EXPECT_EQ(wrong, 0);
}

TEST_F(ExporterTest, AHungCallAnswersWithinTheScrapeTimeoutAndScrapesAreBounded) {
  ctl(a_, "fault SysGetSensorValue hang --arg cpu0-temp");
  for (int scrape = 0; scrape < 2; ++scrape) {
    const Reply reply =
        get(exporter_.port, "/metrics", {{"X-Prometheus-Scrape-Timeout-Seconds", "3"}});
    EXPECT_LT(reply.seconds, 3.0);
    EXPECT_NE(
        reply.body.find("qel_up{collector=\"sensors\"} 0\nqel_up{collector=\"components\"} 1\n"
                        "qel_up{collector=\"platform\"} 1\n"),
        std::string::npos)
        << reply.body;
  }
  // One scrape at a time: a second one while the first waits for its hung call is refused.
  const Exporter single = startExporter({"--web.max-requests", "1"});
  std::thread first([&] { get(single.port, "/metrics"); });
  std::this_thread::sleep_for(500ms);
  const Reply refused = get(single.port, probe(b_));
  first.join();
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.body, "too many scrapes in progress\n");
  EXPECT_EQ(single.child->stop(), 0);
}

TEST_F(ExporterTest, PrometheusSeesTheReadingChangeAndTheHang) {
  const int port = freePort();
  const std::string exporter = "127.0.0.1:" + std::to_string(exporter_.port);
  const std::string a = "localhost;" + std::to_string(a_.program());
  const std::string b = "localhost;" + std::to_string(b_.program());
  std::ofstream(dir_ / "prometheus.yml") << replaced(
      replaced(replaced(fileText(QEL_EXPORTER_PROMETHEUS_CONFIG), "@EXPORTER@", exporter),
               "@TARGET_A@", a),
      "@TARGET_B@", b);
  ChildProcess prometheus({QEL_PROMETHEUS, "--config.file=" + (dir_ / "prometheus.yml").string(),
                           "--storage.tsdb.path=" + (dir_ / "data").string(),
                           "--web.listen-address=127.0.0.1:" + std::to_string(port),
                           "--log.level=error"});
  const std::string temperature = "qel_temperature_celsius{sensor=\"cpu0-temp\"}";
  EXPECT_TRUE(patiently([&] {
    return query(port, temperature) == Samples{{exporter, "41"}, {a, "41"}, {b, "73"}};
  }));

  ctl(a_, "sensor cpu0-temp --value 120");
  EXPECT_TRUE(patiently([&] {
    return query(port, temperature) == Samples{{exporter, "120"}, {a, "120"}, {b, "73"}} &&
           query(port, "qel_sensor_state{sensor=\"cpu0-temp\"}") ==
               Samples{{exporter, "2"}, {a, "2"}, {b, "0"}};
  }));

  // Prometheus's own up stays 1: the scrapes answer within its timeout.
  ctl(a_, "fault SysGetSensorValue hang --arg cpu0-temp");
  EXPECT_TRUE(patiently([&] {
    return query(port, "qel_up{collector=\"sensors\"}") ==
               Samples{{exporter, "0"}, {a, "0"}, {b, "1"}} &&
           query(port, "qel_up{collector=\"fan\"}") ==
               Samples{{exporter, "1"}, {a, "1"}, {b, "1"}} &&
           query(port, "up") == Samples{{exporter, "1"}, {a, "1"}, {b, "1"}};
  }));
}

}  // namespace
}  // namespace qel::test
