// SPDX-License-Identifier: Apache-2.0
// qel-exporter scraping qel-simd's built-in scenario, scraper, exporter and server on one core:
// the calls a scrape makes, the time of a scrape against as many small library calls, and the
// exporter's resident size after 10,000 scrapes against after 100.
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

constexpr long kFewScrapes = 100, kManyScrapes = 10000;
const std::string kAllUp =
    "qel_up{collector=\"sensors\"} 1\nqel_up{collector=\"components\"} 1\n"
    "qel_up{collector=\"platform\"} 1\nqel_up{collector=\"network\"} 1\nqel_up{collector=\"fan\"} "
    "1\n";

// What Prometheus sends with a scrape.
const httplib::Headers kScraper{
    {"Accept",
     "application/openmetrics-text;version=1.0.0,application/openmetrics-text;version=0.0.1;"
     "q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1"},
    {"Accept-Encoding", "gzip"},
    {"X-Prometheus-Scrape-Timeout-Seconds", "10"}};

// The built exporter, reading the simulator at /metrics, kept for every pass of the table.
class Exporter {
 public:
  explicit Exporter(rpcprog_t program) : port_(test::freePort()), client_("127.0.0.1", port_) {
    const std::string address = "127.0.0.1:" + std::to_string(port_);
    const std::string number = std::to_string(program);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      execl(QEL_EXPORTER_PATH, "qel-exporter", "--web.listen-address", address.c_str(), "--program",
            number.c_str(), "--log-level", "error", static_cast<char *>(nullptr));
      _exit(127);
    }
    for (int tries = 0; tries < 500 && !client_.Get("/-/healthy"); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Exporter() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }
  // One scrape over the kept HTTP connection; false unless every collector succeeded.
  bool scrape() {
    const auto result = client_.Get("/metrics", kScraper);
    ++scrapes_;
    return result && result->status == 200 && result->body.find(kAllUp) != std::string::npos;
  }
  long scrapes() const { return scrapes_; }

 private:
  int port_;
  pid_t pid_ = -1;
  long scrapes_ = 0;
  httplib::Client client_;
};

// What the simulator counted since the last reset, resetting it again.
long simulatorCalls(const Simulator &simulator) {
  const std::string command =
      QEL_SIMD_PATH " ctl --socket " + simulator.control() + " --json stats --reset";
  FILE *ctl = popen(command.c_str(), "r");
  if (ctl == nullptr) return -1;
  char reply[4096] = "";
  const std::string text(reply, std::fread(reply, 1, sizeof reply - 1, ctl));
  pclose(ctl);
  const std::size_t total = text.find("\"total\":");
  return total == std::string::npos ? -1 : std::atol(text.c_str() + total + 8);
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string word; status >> word;) {
    if (word == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
  }
  return -1;
}

// Scrapes until the exporter has answered `total` of them.
bool scrapeUpTo(Exporter &exporter, long total) {
  while (exporter.scrapes() < total) {
    if (!exporter.scrape()) return false;
  }
  return true;
}

// Measured in the first pass, for all of them: 10,000 scrapes take a while.
struct Measured {
  std::unique_ptr<Exporter> exporter;
  double callsPerScrape = -1;
  double residentGrowthKiB = -1;
};

}  // namespace

void exporterRows(const Bench &bench) {
  printSection("qel-exporter: /metrics on qel-simd's built-in scenario");
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  static Measured measured;
  if (!measured.exporter) {
    measured.exporter = std::make_unique<Exporter>(bench.simulator.program());
    pinProcess(measured.exporter->pid(), oneCore.serverCpu);
    Exporter &exporter = *measured.exporter;
    simulatorCalls(bench.simulator);
    constexpr long kCounted = 10;
    if (repeat(kCounted, [&] { return exporter.scrape(); })) {
      measured.callsPerScrape = static_cast<double>(simulatorCalls(bench.simulator)) / kCounted;
    }
    const long few = scrapeUpTo(exporter, kFewScrapes) ? residentKiB(exporter.pid()) : -1;
    const long many = scrapeUpTo(exporter, kManyScrapes) ? residentKiB(exporter.pid()) : -1;
    if (few > 0 && many > 0) measured.residentGrowthKiB = static_cast<double>(many - few);
  }
  const RowLabel calls{"calls per scrape", oneCore.name, "qel-simd"};
  printCount(calls, measured.callsPerScrape, 0);
  if (measured.callsPerScrape <= 0 || !useLibraryWith(bench.simulator.program())) return;
  const long perScrape = static_cast<long>(measured.callsPerScrape);
  const auto s =
      interleave({[&](long n) { return repeat(n, [&] { return measured.exporter->scrape(); }); },
                  [&](long n) { return librarySmallCalls(n * perScrape); }},
                 bench.plan);
  const auto label = [&](const std::string &what) {
    return RowLabel{what, oneCore.name, "qel-simd"};
  };
  printRow(label("scrape, us"), inMicroseconds(s[0]), 1);
  printRow(label("as many small calls, us"), inMicroseconds(s[1]), 1);
  printRow(label("  ratio scrape / small calls"), combine(s[0], s[1], ratio), 3,
           {Target::Kind::kAtMost, 1.5});
  printCount(label("resident size after 10,000 scrapes - after 100, KiB"),
             measured.residentGrowthKiB, 0, {Target::Kind::kAtMost, 1024});
}

}  // namespace qel::bench
