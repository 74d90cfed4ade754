// SPDX-License-Identifier: Apache-2.0
// A worker thread's use of the library for its one target. The library keeps one connection
// per thread, but the host and program a connection is created with are process-wide, and a
// thread whose call got no reply reconnects on its next operation with whatever was
// remembered last, by any thread. So every operation here is preceded by an explicit
// qelConnect with this target's host and program, creations pass one at a time through the
// exporter's own lock, and each call's wait is bounded by the scrape's deadline.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace qel::exporter {

using Clock = std::chrono::steady_clock;

struct Target {
  std::string host;
  unsigned long program = 0;  // never 0: a 0 would let the library choose
  bool operator==(const Target &) const = default;
};

class SpSession {
 public:
  explicit SpSession(Target target) : target_(std::move(target)) {}

  const Target &target() const { return target_; }
  // Calls made from now on must end by `deadline`.
  void setDeadline(Clock::time_point deadline) { deadline_ = deadline; }

  // Runs one library operation `op` (returning its result code) on this thread's connection to
  // the target. A connection failure or a deadline already past is returned without calling.
  template <typename Op>
  unsigned call(Op &&op) {
    if (const unsigned code = prepare()) return code;
    ++calls_;
    return op();
  }
  unsigned long calls() const { return calls_; }
  // Whether the last operation failed because no connection could be opened.
  bool unreachable() const { return unreachable_; }

 private:
  unsigned prepare();

  Target target_;
  Clock::time_point deadline_{};
  unsigned long calls_ = 0;
  bool unreachable_ = false;
  bool keyMade_ = false;  // the library's thread key exists once a qelConnect succeeded
  // What the thread's handle was last given as its timeout; nothing for a new handle.
  std::optional<std::chrono::microseconds> timeout_;
};

}  // namespace qel::exporter
