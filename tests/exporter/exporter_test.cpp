// SPDX-License-Identifier: Apache-2.0
// qel-exporter as users run it: the built program between two qel-simd processes (A and B, on
// programs of their own) and a real Prometheus server (plain, and over TLS with basic auth),
// read through Prometheus's query API; promtool judges the output. The exporter's exit status
// shows what the sanitizers found in it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
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
#include "exporter_client.hpp"
#include "loopback.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Samples = std::map<std::string, std::string>;  // instance -> value

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

// A TCP connection to the exporter from `source` (another loopback address: another client).
int connectFrom(const char *source, int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{AF_INET, 0, {inet_addr(source)}, {}}, to{from};
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  if (bind(s, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0 ||
      connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
    close(s);
    return -1;
  }
  return s;
}

// A line of A's scrape and the same line of B's, one per collector.
const std::pair<const char *, const char *> kDistinct[] = {
    {"qel_temperature_celsius{sensor=\"cpu0-temp\",component=\"cpu0\"} 41\n",
     "qel_temperature_celsius{sensor=\"cpu0-temp\",component=\"cpu0\"} 73\n"},
    {"qel_component_status{component=\"psu0\",qel_component_status=\"ok\"} 1\n",
     "qel_component_status{component=\"psu0\",qel_component_status=\"warning\"} 1\n"},
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
    exporter_ = startExporter({"--probe.allow", "127.0.0.0/8", "--web.max-requests", "24"});
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
    // Listening (a TLS one answers nothing in plain HTTP).
    EXPECT_TRUE(patiently([port] {
      const int s = connectFrom("127.0.0.1", port);
      close(s);
      return s >= 0;
    }));
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
  const std::pair<const char *, const char *> kPages[] = {
      {"/metrics", kDistinct[0].first},
      {"/-/metrics", "qel_exporter_http_requests_total{path=\"/metrics\",code=\"200\"} 1\n"}};
  for (const auto &[path, line] : kPages) {
    const HttpReply scrape = get(exporter_.port, path);
    ASSERT_EQ(scrape.status, 200);
    EXPECT_NE(scrape.body.find(line), std::string::npos) << scrape.body;
    std::ofstream(dir_ / "scrape.txt") << scrape.body;
    std::string said;
    EXPECT_EQ(runCommand(QEL_PROMTOOL " check metrics < " + (dir_ / "scrape.txt").string(), said),
              0);
    EXPECT_EQ(said, "") << path;
  }
}

TEST_F(ExporterTest, BadRequestsAndAnUnreachableTarget) {
  const std::tuple<std::string, int, std::string> kRequests[] = {
      {"/nope", 404, "not found\n"},
      {"/probe", 400, "target is missing\n"},
      {"/probe?target=sp%201", 400, "target is not a host name or address\n"},
      {"/probe?target=fd00::1", 400,
       "target is an IPv6 address; the library connects over IPv4 only\n"},
      {"/probe?target=192.0.2.1", 403, "target not allowed: --probe.allow does not name it\n"},
      {"/probe?target=localhost&program=" + std::to_string(freeProgram()), 200,
       "qel_up{collector=\"sensors\"} 0\nqel_up{collector=\"components\"} 0\n"},
  };
  for (const auto &[path, status, body] : kRequests) {
    const HttpReply reply = get(exporter_.port, path);
    EXPECT_EQ(reply.status, status) << path;
    EXPECT_NE(reply.body.find(body), std::string::npos) << path << ": " << reply.body;
  }
}

TEST_F(ExporterTest, ProbesOfTwoSimulatorsAtOnceNeverMix) {
  std::atomic<int> right{0}, wrong{0};
  auto prober = [&](int first) {
    for (int i = first; i < first + 24; ++i) {
      const bool b = i % 3 == 1;
      const HttpReply reply = get(exporter_.port, i % 3 == 0 ? "/metrics" : probe(b ? b_ : a_));
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
    const HttpReply reply =
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
  const HttpReply refused = get(single.port, probe(b_));
  first.join();
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.body, "too many scrapes in progress\n");
  EXPECT_EQ(single.child->stop(), 0);
}

TEST_F(ExporterTest, AFailingSensorLosesOnlyItsOwnSeries) {
  const std::tuple<const char *, const char *, const char *> kFaults[] = {
      {"fault SysGetSensorValue code 16 --arg cpu0-temp", "{sensor=\"cpu0-temp\",component",
       "qel_voltage_volts{sensor=\"psu0-vout\",component=\"psu0\"} 12.05\n"},
      {"fault SysGetSensorThresholds code 16 --arg psu0-vout", "{sensor=\"psu0-vout\"",
       "qel_temperature_celsius{sensor=\"cpu0-temp\",component=\"cpu0\"} 41\n"},
  };
  for (const auto &[fault, lost, kept] : kFaults) {
    ctl(a_, fault);
    const HttpReply reply = get(exporter_.port, "/metrics");
    ctl(a_, "clear");
    EXPECT_NE(reply.body.find("qel_up{collector=\"sensors\"} 1\n"), std::string::npos) << fault;
    EXPECT_NE(reply.body.find("qel_collector_item_errors{collector=\"sensors\"} 1\n"),
              std::string::npos)
        << fault;
    EXPECT_EQ(reply.body.find(lost), std::string::npos) << fault;
    EXPECT_NE(reply.body.find(kept), std::string::npos) << fault << ": " << reply.body;
  }
}

TEST_F(ExporterTest, AnotherInstanceOnTheSamePortExits1) {
  ChildProcess second(
      {QEL_EXPORTER_PATH, "--web.listen-address", "127.0.0.1:" + std::to_string(exporter_.port)});
  EXPECT_EQ(second.waitForExit(5000ms), 1);
  EXPECT_EQ(get(exporter_.port, "/-/healthy").status, 200);
}

// 20 scrapes wait on calls that hang for a minute; SIGTERM ends the exporter within 5 s.
TEST_F(ExporterTest, StopsWithinFiveSecondsWhateverItsWorkersWaitFor) {
  ctl(b_, "fault SysGetSensorValue hang");
  std::vector<std::thread> scrapes;
  for (int i = 1; i <= 20; ++i) {
    scrapes.emplace_back([&, i] {
      get(exporter_.port,
          "/probe?target=127.0.0." + std::to_string(i) + "&program=" + std::to_string(b_.program()),
          {{"X-Prometheus-Scrape-Timeout-Seconds", "60"}});
    });
  }
  EXPECT_TRUE(eventually([&] {
    return get(exporter_.port, "/-/metrics").body.find("qel_exporter_scrapes_in_progress 20\n") !=
           std::string::npos;
  }));
  const auto start = Clock::now();
  kill(exporter_.child->pid(), SIGTERM);
  EXPECT_EQ(exporter_.child->waitForExit(5000ms), 0);
  EXPECT_LT(Clock::now() - start, 5s);
  for (std::thread &scrape : scrapes) scrape.join();
  exporter_.child.reset();
}

// Sends `head`, then `chunk` until the exporter stops reading; its answer's status line.
std::string flood(int port, const std::string &head, const std::string &chunk) {
  const int s = connectFrom("127.0.0.6", port);
  timeval wait{10, 0};
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  send(s, head.data(), head.size(), MSG_NOSIGNAL);
  for (int i = 0; i < 100000 && send(s, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0; ++i) {
  }
  char answer[64] = "";
  const ssize_t n = recv(s, answer, sizeof answer - 1, 0);
  close(s);
  return std::string(answer, n > 0 ? static_cast<std::size_t>(n) : 0).substr(0, 12);
}

long peakResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string word; status >> word;) {
    if (word == "VmHWM:" && status >> word) return std::stol(word);
  }
  return -1;
}

// 100 slow clients (one header line a second), a flood of body and one of header fields, from
// other addresses: health checks and scrapes are still answered within a second.
TEST_F(ExporterTest, FloodsAndSlowClientsNeverHoldUpAScrape) {
  std::vector<int> slow;
  for (int i = 0; i < 100; ++i) {
    const std::string source = "127.0.0." + std::to_string(2 + i % 4);
    const int s = connectFrom(source.c_str(), exporter_.port);
    if (s >= 0 && send(s, "GET /metrics HTTP/1.1\r\n", 23, MSG_NOSIGNAL) == 23) slow.push_back(s);
  }
  EXPECT_EQ(slow.size(), 100u);
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    for (int second = 0; !done; ++second, std::this_thread::sleep_for(1s)) {
      for (int s : slow) send(s, "X: y\r\n", 6, MSG_NOSIGNAL);
    }
  });
  std::string body, fields;
  std::thread floods([&] {
    body = flood(exporter_.port,
                 "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 4000000000\r\n\r\n",
                 std::string(65536, 'x'));
    fields =
        flood(exporter_.port, "GET / HTTP/1.1\r\n", "X-Flood: " + std::string(1000, 'y') + "\r\n");
  });
  for (int round = 0; round < 10; ++round, std::this_thread::sleep_for(300ms)) {
    EXPECT_LT(get(exporter_.port, "/-/healthy").seconds, 1.0);
    const HttpReply scrape = get(exporter_.port, "/metrics");
    EXPECT_LT(scrape.seconds, 1.0);
    EXPECT_NE(scrape.body.find(kDistinct[0].first), std::string::npos);
  }
  floods.join();
  done = true;
  trickle.join();
  for (int s : slow) close(s);
  EXPECT_EQ(body, "HTTP/1.1 413");
  EXPECT_EQ(fields, "HTTP/1.1 431");
  EXPECT_LT(peakResidentKiB(exporter_.child->pid()), 200 * 1024);
}

// Prometheus scrapes /metrics over plain HTTP and, with basic auth, over TLS (with the right
// password and a wrong one), and a fleet through /probe.
TEST_F(ExporterTest, PrometheusSeesTheReadingChangeAndTheHang) {
  std::string said;
  ASSERT_EQ(runCommand("cd " + dir_.string() +
                           " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=qel "
                           "-addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out cert.pem",
                       said),
            0)
      << said;
  std::ofstream(dir_ / "web.yml")
      << "tls_server_config:\n  cert_file: cert.pem\n"
         "  key_file: key.pem\nbasic_auth_users:\n  prometheus: "
         "$2b$04$KXGYrJ3fyo9y7E9fFM/LOOjloTpnnosuMTMeVWRqKuh58thM0qh7O\n";
  const Exporter secure = startExporter({"--web.config.file", (dir_ / "web.yml").string()});
  const int port = freePort();
  const std::string exporter = "127.0.0.1:" + std::to_string(exporter_.port);
  const std::string a = "localhost;" + std::to_string(a_.program());
  const std::string b = "localhost;" + std::to_string(b_.program());
  std::string config = fileText(QEL_EXPORTER_PROMETHEUS_CONFIG);
  for (const auto &[from, to] : {std::pair<std::string, std::string>{"@EXPORTER@", exporter},
                                 {"@TARGET_A@", a},
                                 {"@TARGET_B@", b},
                                 {"@SECURE@", "127.0.0.1:" + std::to_string(secure.port)},
                                 {"@CA@", (dir_ / "cert.pem").string()}}) {
    config = replaced(config, from, to);
  }
  std::ofstream(dir_ / "prometheus.yml") << config;
  ChildProcess prometheus({QEL_PROMETHEUS, "--config.file=" + (dir_ / "prometheus.yml").string(),
                           "--storage.tsdb.path=" + (dir_ / "data").string(),
                           "--web.listen-address=127.0.0.1:" + std::to_string(port),
                           "--log.level=error"});
  const std::string temperature = "qel_temperature_celsius{sensor=\"cpu0-temp\",job!=\"qel-tls\"}";
  const std::string secured = "127.0.0.1:" + std::to_string(secure.port);
  EXPECT_TRUE(patiently([&] {
    return query(port, temperature) == Samples{{exporter, "41"}, {a, "41"}, {b, "73"}} &&
           query(port, "up{job=\"qel-tls\"}") == Samples{{secured, "1"}} &&
           query(port, "up{job=\"qel-tls-denied\"}") == Samples{{secured, "0"}} &&
           query(port, "qel_up{job=\"qel-tls\",collector=\"sensors\"}") == Samples{{secured, "1"}};
  }));

  ctl(a_, "sensor cpu0-temp --value 120");
  EXPECT_TRUE(patiently([&] {
    return query(port, temperature) == Samples{{exporter, "120"}, {a, "120"}, {b, "73"}} &&
           query(port,
                 "qel_sensor_state{sensor=\"cpu0-temp\",qel_sensor_state=\"critical\","
                 "job!=\"qel-tls\"}") == Samples{{exporter, "1"}, {a, "1"}, {b, "0"}};
  }));

  // Prometheus's own up stays 1: the scrapes answer within its timeout.
  ctl(a_, "fault SysGetSensorValue hang --arg cpu0-temp");
  EXPECT_TRUE(patiently([&] {
    return query(port, "qel_up{collector=\"sensors\",job!=\"qel-tls\"}") ==
               Samples{{exporter, "0"}, {a, "0"}, {b, "1"}} &&
           query(port, "qel_up{collector=\"fan\",job!=\"qel-tls\"}") ==
               Samples{{exporter, "1"}, {a, "1"}, {b, "1"}} &&
           query(port, "up{job!~\"qel-tls.*\"}") == Samples{{exporter, "1"}, {a, "1"}, {b, "1"}};
  }));
}

}  // namespace
}  // namespace qel::test
