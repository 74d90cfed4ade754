// SPDX-License-Identifier: Apache-2.0
#include "rounds.hpp"

#include <algorithm>

namespace qel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double elapsedNs(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Calls of `batch` that fill about `roundTime`, found by doubling; the first calls also warm up
// the connection and the heap.
long callsPerRound(const Batch &batch, std::chrono::milliseconds roundTime) {
  const double target = std::chrono::duration<double, std::nano>(roundTime).count();
  for (long count = 1;; count *= 2) {
    const auto start = Clock::now();
    if (!batch(count)) return 0;
    const double took = elapsedNs(start);
    if (took >= target / 4) return std::max(1L, static_cast<long>(count * target / took));
  }
}

}  // namespace

double Spread::min() const { return *std::min_element(samples.begin(), samples.end()); }
double Spread::max() const { return *std::max_element(samples.begin(), samples.end()); }

double Spread::median() const {
  std::vector<double> sorted = samples;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

bool Spread::unstable() const { return (max() - min()) > 0.10 * median(); }

std::vector<Spread> interleave(const std::vector<Batch> &contenders, const RoundPlan &plan) {
  const long count = callsPerRound(contenders.front(), plan.roundTime);
  for (std::size_t i = 1; i < contenders.size(); ++i) {
    if (count == 0 || !contenders[i](count / 10 + 1)) return {};
  }
  std::vector<Spread> spreads(contenders.size());
  for (int round = 0; round < plan.rounds; ++round) {
    for (std::size_t k = 0; k < contenders.size(); ++k) {
      const std::size_t i = (k + static_cast<std::size_t>(round)) % contenders.size();
      const auto start = Clock::now();
      if (!contenders[i](count)) return {};
      spreads[i].samples.push_back(elapsedNs(start) / static_cast<double>(count));
    }
  }
  return spreads;
}

Spread combine(const Spread &a, const Spread &b, double (*f)(double, double)) {
  Spread out;
  for (std::size_t i = 0; i < a.samples.size() && i < b.samples.size(); ++i) {
    out.samples.push_back(f(a.samples[i], b.samples[i]));
  }
  return out;
}

Spread convert(const Spread &a, const std::function<double(double)> &g) {
  Spread out;
  for (double x : a.samples) out.samples.push_back(g(x));
  return out;
}

}  // namespace qel::bench
