// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/held_replies.hpp"

#include <sys/socket.h>

#include <algorithm>

#include "simulator/model/log.hpp"
#include "simulator/rpc/raw_reply.hpp"

namespace qel::simd {

void HeldReplies::hold(int fd, std::string bytes, Clock::time_point due,
                       std::optional<unsigned> untilFault, bool closeAfter) {
  Held reply{fd, std::move(bytes), 0, due, untilFault, closeAfter};
  if (untilFault) reply.due.reset();
  held_.push_back(std::move(reply));
}

void HeldReplies::release(const std::vector<unsigned> &faults) {
  const auto now = Clock::now();
  for (Held &reply : held_) {
    if (reply.untilFault &&
        std::find(faults.begin(), faults.end(), *reply.untilFault) != faults.end()) {
      reply.due = now;
    }
  }
}

void HeldReplies::dropAll() {
  for (const Held &reply : held_) shutdown(reply.fd, SHUT_RDWR);
  held_.clear();
}

bool HeldReplies::holds(int fd) const {
  return std::any_of(held_.begin(), held_.end(), [&](const Held &r) { return r.fd == fd; });
}

void HeldReplies::addPollFds(std::vector<pollfd> &fds) const {
  for (const Held &reply : held_) {
    if (reply.started) fds.push_back({reply.fd, POLLOUT, 0});
  }
}

std::optional<HeldReplies::Clock::time_point> HeldReplies::nextDue() const {
  std::optional<Clock::time_point> next;
  for (const Held &reply : held_) {
    if (reply.due && !reply.started && (!next || *reply.due < *next)) next = reply.due;
  }
  return next;
}

// The connection stays with the RPC layer afterwards: once it polls the socket again it reads
// the end of a closed connection and lets it go.
void HeldReplies::serve() {
  const auto now = Clock::now();
  std::erase_if(held_, [&](Held &reply) {
    if (!reply.due || *reply.due > now) return false;
    const long written = writeSome(reply.fd, reply.bytes, reply.written);
    if (written >= 0) reply.written += static_cast<std::size_t>(written);
    reply.started = true;
    if (written >= 0 && reply.written < reply.bytes.size()) return false;
    if (written < 0) logf(kLogDebug, "held reply: the client has gone");
    if (reply.closeAfter || written < 0) shutdown(reply.fd, SHUT_RDWR);
    return true;
  });
}

}  // namespace qel::simd
