// SPDX-License-Identifier: Apache-2.0
// One client connection: its stream, the request being read or served, the response being
// written and where it stands. The event loop owns it, except while a worker serves its request;
// the hand-over goes through a lock, so exactly one thread touches it at a time.
#pragma once

#include <sys/epoll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/http/request_parser.hpp"
#include "tools/http/stream.hpp"

namespace qel::http {

using Clock = std::chrono::steady_clock;

// What Counters shows, kept as the threads change it.
struct Tally {
  std::atomic<unsigned long long> connections{0};
  std::atomic<unsigned long long> refusedConnections{0};
  std::atomic<unsigned long long> requests{0};
  std::atomic<unsigned long long> rejected{0};
  std::atomic<std::size_t> open{0};
};

enum class Phase {
  kHandshake,  // TLS handshake
  kIdle,       // waiting for a request's first byte
  kReading,    // reading a request, against its deadline
  kHandler,    // queued for a worker, or served by one
  kWriting,    // the event loop writes what is left of a response
  kDraining,   // answered and half closed: what the client still sends is read and dropped
  kClosed,     // done; destroyed once the event loop's current round ends
};

struct Connection {
  // Takes `fd`, counted in `open` while this lives.
  Connection(std::uint64_t id, int fd, SSL_CTX *tls, std::string peer, const Limits &limits,
             std::atomic<std::size_t> &open);
  ~Connection();
  Connection(const Connection &) = delete;
  Connection &operator=(const Connection &) = delete;

  // Writes what it can of `out`: kDone once all of it is out (and `out` is emptied).
  Io flush();

  const std::uint64_t id;
  Stream stream;
  const std::string peer;
  RequestParser parser;
  Phase phase = Phase::kIdle;
  // The request in hand, taken from the parser, and how its response goes out.
  Request request;
  bool keepAlive = false;
  bool http10 = false;
  std::string pending;  // bytes that came after the request in hand
  std::string out;      // response bytes still to write, from `sent` on
  std::size_t sent = 0;
  bool closeAfterWrite = false;
  IoStatus lastIo = IoStatus::kDone;  // how the last read or write ended
  bool continued = false;             // "100 Continue" sent for the request being read
  bool peeked = false;                // the first byte on a TLS port was looked at
  std::size_t drained = 0;
  std::optional<Clock::time_point> deadline;
  std::uint32_t events = 0;  // watched for by the event loop (0: not watched)

 private:
  std::atomic<std::size_t> &open_;
};

}  // namespace qel::http
