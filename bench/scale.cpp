// SPDX-License-Identifier: Apache-2.0
// Calls per second with 1 to 64 threads against qel-simd, each thread on a library connection
// and a plain client's connection of its own, and qel-simd's processor time per call: where it
// reaches a whole CPU, the server is the limit.
#include <atomic>
#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

// Threads that call together for a phase at a time: the library's small call or the plain
// client's (with the hold).
class Crew {
 public:
  Crew(int threads, rpcprog_t program) : gate_(threads + 1) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this, program] { work(program); });
    gate_.arrive_and_wait();
  }
  ~Crew() {
    quit_ = true;
    gate_.arrive_and_wait();
    for (auto &t : threads_) t.join();
  }
  Crew(const Crew &) = delete;
  Crew &operator=(const Crew &) = delete;

  // Calls made by all threads in `time`; -1 when one failed.
  long phase(bool library, std::chrono::milliseconds time) {
    library_ = library;
    stop_ = false;
    calls_ = 0;
    gate_.arrive_and_wait();
    std::this_thread::sleep_for(time);
    stop_ = true;
    gate_.arrive_and_wait();
    return failed_ ? -1 : calls_.load();
  }

 private:
  void work(rpcprog_t program) {
    RawClient raw(program);
    if (!useLibraryWith(program) || !raw.ready()) failed_ = true;
    gate_.arrive_and_wait();
    for (;;) {
      gate_.arrive_and_wait();
      if (quit_) return;
      long made = 0;
      while (!stop_.load(std::memory_order_relaxed) && !failed_) {
        const bool ok = library_ ? librarySmallCalls(1) : raw.smallCall(true);
        if (!ok) failed_ = true;
        ++made;
      }
      calls_ += made;
      gate_.arrive_and_wait();
    }
  }

  std::barrier<> gate_;
  std::vector<std::thread> threads_;
  std::atomic<bool> stop_{false}, quit_{false}, failed_{false}, library_{true};
  std::atomic<long> calls_{0};
};

struct Phase {
  Spread callsPerS, serverUsPerCall, serverBusy;
};

void rowsFor(const Bench &bench, const Placement &placement, int threads) {
  const Simulator &simd = bench.simulator;
  Crew crew(threads, simd.program());
  const auto time = bench.plan.roundTime * 3;
  Phase library, raw;
  for (int round = 0; round < bench.plan.rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      const bool ours = (k + round) % 2 == 0;
      const double cpuBefore = cpuTimeNs(simd.pid());
      const long calls = crew.phase(ours, time);
      const double cpu = cpuTimeNs(simd.pid()) - cpuBefore;
      if (calls <= 0) return;
      Phase &p = ours ? library : raw;
      p.callsPerS.samples.push_back(1e3 * static_cast<double>(calls) / time.count());
      p.serverUsPerCall.samples.push_back(cpu / 1e3 / static_cast<double>(calls));
      p.serverBusy.samples.push_back(cpu / 1e6 / static_cast<double>(time.count()));
    }
  }
  const std::string n = std::to_string(threads) + (threads == 1 ? " thread" : " threads");
  printRow({"calls/s, " + n + ", library", placement.name, "qel-simd"}, library.callsPerS, 0);
  printRow({"calls/s, " + n + ", raw client + hold", placement.name, "qel-simd"}, raw.callsPerS, 0);
  printRow({"  ratio library / raw", placement.name, "qel-simd"},
           combine(library.callsPerS, raw.callsPerS, ratio), 3);
  printRow({"  server CPU per library call, us", placement.name, "qel-simd"},
           library.serverUsPerCall, 2);
  printRow({"  server busy (CPU seconds per second), library", placement.name, "qel-simd"},
           library.serverBusy, 2);
}

}  // namespace

void scaleRows(const Bench &bench) {
  printSection("Threads against qel-simd, each thread on connections of its own");
  for (const Placement &placement : placements()) {
    bench.place(placement);
    for (int threads : {1, 2, 4, 8, 16, 32, 64}) rowsFor(bench, placement, threads);
  }
}

}  // namespace qel::bench
