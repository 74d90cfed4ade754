// SPDX-License-Identifier: Apache-2.0
// A worker thread's use of the library for its one target. The library keeps one connection
// per thread, but the host and program a connection is created with are process-wide, and a
// thread whose call got no reply reconnects on its next operation with whatever was
// remembered last, by any thread. So every operation here is preceded by an explicit
// qelConnect with this target's host and program, and each call's wait is bounded by the
// scrape's deadline.
//
// Creations pass one at a time through the exporter's own connection lock, so a creation must
// never wait on the network for long: before it, the target is checked outside the lock
// (target_check.hpp) and the creation is given its checked address, and a thread waits for the
// lock only until its scrape's deadline. A target whose check timed out is not checked again
// for a while (doubling from 5 s to a minute); its scrapes answer at once meanwhile.
#pragma once

#include <chrono>
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
  // Makes sure the thread has a connection to the target, making one by `deadline`: RESULT_OK,
  // or a failure whose cause() says why.
  unsigned open(Clock::time_point deadline);
  // Calls made from now on (and any new connection they need) must end by `deadline`.
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
  // Whether the last operation failed because no connection could be opened, and why.
  bool unreachable() const { return unreachable_; }
  const std::string &cause() const { return cause_; }

 private:
  unsigned prepare();
  bool hasHandle() const;
  unsigned connect(Clock::time_point deadline);

  Target target_;
  Clock::time_point deadline_{};
  unsigned long calls_ = 0;
  bool unreachable_ = false;
  std::string cause_;
  bool keyMade_ = false;          // the library's thread key exists once a qelConnect succeeded
  unsigned timeouts_ = 0;         // checks in a row that timed out
  Clock::time_point retryAfter_;  // no check before this
  std::string lastCause_;         // of the last check that failed
};

}  // namespace qel::exporter
