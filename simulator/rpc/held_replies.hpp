// SPDX-License-Identifier: Apache-2.0
// Replies that a fault keeps back, sends late, cuts or spoils. While a connection has one here
// the server reads nothing more from it, so the RPC layer cannot close it under the reply.
#pragma once

#include <poll.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qel::simd {

class HeldReplies {
 public:
  using Clock = std::chrono::steady_clock;

  // Sends `bytes` on `fd` at `due` (or, for `untilFault`, once that fault is gone), then closes
  // the connection when `closeAfter` is set.
  void hold(int fd, std::string bytes, Clock::time_point due, std::optional<unsigned> untilFault,
            bool closeAfter);
  // Makes the replies held for these faults due now.
  void release(const std::vector<unsigned> &faults);
  // Forgets every held reply and closes their connections (the server goes away).
  void dropAll();

  bool holds(int fd) const;
  // Asks to be woken when a started reply can go on.
  void addPollFds(std::vector<pollfd> &fds) const;
  std::optional<Clock::time_point> nextDue() const;
  // Writes what is due.
  void serve();

 private:
  struct Held {
    int fd;
    std::string bytes;
    std::size_t written = 0;
    std::optional<Clock::time_point> due;  // none while waiting for a fault to go
    std::optional<unsigned> untilFault;
    bool closeAfter = false;
    bool started = false;  // begun, the rest waits until the socket takes more
  };
  std::vector<Held> held_;
};

}  // namespace qel::simd
