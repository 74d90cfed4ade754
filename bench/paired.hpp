// Two ways of doing the same thing, timed side by side in one loop.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

namespace qel::bench {

// The counter names of the two sides.
struct PairNames {
  const char *ours;
  const char *theirs;
};
inline constexpr PairNames kLibraryAndRaw{"library_ns", "raw_ns"};

// Runs `ours` and `theirs` alternately, each timed on its own (`batch` calls at a time, for
// operations too short to time one by one), and reports their mean times per call and their
// ratio. Both see the machine at the same moments, so load that comes and goes shifts both
// alike instead of whichever ran during it. The order flips every iteration so that neither
// always runs on a warm cache. Each returns false on failure, which ends the run.
template <typename Ours, typename Theirs>
void paired(benchmark::State &state, Ours ours, Theirs theirs, PairNames names = kLibraryAndRaw,
            int batch = 1) {
  using Clock = std::chrono::steady_clock;
  Clock::duration oursTotal{}, theirsTotal{};
  auto timed = [batch](auto &call, Clock::duration &total) {
    const auto start = Clock::now();
    bool ok = true;
    for (int i = 0; i < batch && ok; ++i) ok = call();
    total += Clock::now() - start;
    return ok;
  };
  // One untimed call of each first: whichever ran first would otherwise pay alone for a
  // connection's first use and for the first touch of the heap that large replies need.
  if (!ours() || !theirs()) {
    state.SkipWithError("call failed");
    return;
  }
  bool oursFirst = true;
  for (auto _ : state) {
    const bool ok = oursFirst ? timed(ours, oursTotal) && timed(theirs, theirsTotal)
                              : timed(theirs, theirsTotal) && timed(ours, oursTotal);
    oursFirst = !oursFirst;
    if (!ok) {
      state.SkipWithError("call failed");
      break;
    }
  }
  const double calls = static_cast<double>(state.iterations()) * batch;
  const double oursNs = std::chrono::duration<double, std::nano>(oursTotal).count() / calls;
  const double theirsNs = std::chrono::duration<double, std::nano>(theirsTotal).count() / calls;
  // Each thread of a threaded run reports its own; the run shows their mean.
  using benchmark::Counter;
  state.counters[names.ours] = Counter(oursNs, Counter::kAvgThreads);
  state.counters[names.theirs] = Counter(theirsNs, Counter::kAvgThreads);
  state.counters["ratio"] = Counter(oursNs / theirsNs, Counter::kAvgThreads);
}

}  // namespace qel::bench
