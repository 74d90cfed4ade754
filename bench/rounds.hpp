// SPDX-License-Identifier: Apache-2.0
// The one timing loop: contenders that do comparable work take turns, round by round, so that
// load which comes and goes on a shared machine falls on all of them alike.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace qel::bench {

// Runs `count` calls of one contender; false when a call failed.
using Batch = std::function<bool(long count)>;

// `count` calls of `call` (which returns false on a failure) as one batch.
template <typename Call>
bool repeat(long count, Call call) {
  for (long i = 0; i < count; ++i) {
    if (!call()) return false;
  }
  return true;
}

struct RoundPlan {
  int rounds = 11;
  std::chrono::milliseconds roundTime{60};
};

// Per-round samples of one quantity, and what the table prints of them.
struct Spread {
  std::vector<double> samples;
  double min() const;
  double median() const;
  double max() const;
  // (max - min) / median above 10 %: the row is not a result.
  bool unstable() const;
};

// Times each contender for `plan.rounds` rounds; each round runs every contender for the same
// number of calls (about `roundTime` of the first one), in an order that rotates by one every
// round. Returns nanoseconds per call per round for each contender, or nothing on a failure.
std::vector<Spread> interleave(const std::vector<Batch> &contenders, const RoundPlan &plan);

// Per-round f(a, b): ratios of contenders timed in the same rounds.
Spread combine(const Spread &a, const Spread &b, double (*f)(double, double));
inline double ratio(double a, double b) { return a / b; }
// Per-round g(a): a unit changed (nanoseconds per call into calls per second, ...).
Spread convert(const Spread &a, const std::function<double(double)> &g);
inline Spread inMicroseconds(const Spread &ns) {
  return convert(ns, [](double x) { return x / 1e3; });
}

}  // namespace qel::bench
