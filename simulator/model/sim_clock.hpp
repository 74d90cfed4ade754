// SPDX-License-Identifier: Apache-2.0
// The simulated SP's clocks: a wall clock that can be set (it only moves an offset) and the
// time since the SP last booted.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace qel::simd {

class SimClock {
 public:
  SimClock() : start_(Steady::now()), boot_(start_) {}

  // Seconds since the server started; never set back, so sensor wander stays smooth.
  double elapsed() const { return seconds(Steady::now() - start_); }
  // Seconds since the simulated SP booted.
  double uptime() const { return seconds(Steady::now() - boot_); }
  // Simulated wall clock, seconds since the epoch (UTC).
  int64_t now() const { return realNow() + offset_; }

  void setNow(int64_t secondsSinceEpoch) { offset_ = secondsSinceEpoch - realNow(); }
  // Starts the wall clock at `start`, or at the real time when there is none.
  void resetWallClock(std::optional<int64_t> start) { offset_ = start ? *start - realNow() : 0; }
  void reboot() { boot_ = Steady::now(); }
  // Moves every clock on at once, as if `seconds` had passed.
  void advance(double seconds) {
    const auto step =
        std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(seconds));
    start_ -= step;
    boot_ -= step;
    offset_ += static_cast<int64_t>(seconds);
  }

 private:
  using Steady = std::chrono::steady_clock;
  static double seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }
  static int64_t realNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  Steady::time_point start_;
  Steady::time_point boot_;
  int64_t offset_ = 0;
};

}  // namespace qel::simd
