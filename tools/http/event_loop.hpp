// SPDX-License-Identifier: Apache-2.0
// The event thread: accepts connections within the caps, does the TLS handshakes, reads each
// request within its limits and deadline, hands complete ones to the workers and writes what a
// worker could not write at once. Every wait is on epoll; no socket ever blocks it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/http/connection.hpp"
#include "tools/http/worker_pool.hpp"

namespace qel::http {

class EventLoop {
 public:
  EventLoop(const Limits &limits, Tally &tally, const std::atomic<bool> &stopping);
  ~EventLoop();
  EventLoop(const EventLoop &) = delete;
  EventLoop &operator=(const EventLoop &) = delete;

  // Serves `listener` (TLS with `tls`) until `stopping` is set and wake() called: then the
  // requests in progress get until the grace ends to be answered, and the rest is closed.
  // False when the listening socket or epoll failed.
  bool run(int listener, SSL_CTX *tls, WorkerPool &pool);
  // From any thread: the loop looks at `stopping` and at the connections given back.
  void wake();
  // From a worker: the connection whose response is made. Once run() has returned, it is
  // closed at once.
  void giveBack(std::unique_ptr<Connection> connection);

 private:
  bool accept();
  void admit(int fd, std::string peer);
  void onEvent(std::uint64_t id);
  void handshake(Connection &connection);
  void readFrom(Connection &connection);
  // Hands the request bytes to the parser; false once the connection is no longer reading
  // (answered, closed, or with a worker, when it must not be touched).
  bool feed(Connection &connection, std::string_view bytes);
  void dispatch(Connection &connection);
  void answer(Connection &connection, std::string bytes, bool close);
  void startWriting(Connection &connection);
  void writeOut(Connection &connection);
  void afterResponse(Connection &connection);
  void resume(Connection &connection);
  void startDraining(Connection &connection);
  void drain(Connection &connection);
  void close(Connection &connection);
  void watch(Connection &connection, std::uint32_t events);
  void watchFor(Connection &connection, IoStatus wanted);
  void setDeadline(Connection &connection, Clock::time_point at);
  void clearDeadline(Connection &connection);
  void expire(Clock::time_point now);
  void takeReturned();
  void resumeReady();
  void beginStop(WorkerPool &pool);
  void sweep();
  int waitTime(Clock::time_point now) const;
  Connection *find(std::uint64_t id);

  const Limits &limits_;
  Tally &tally_;
  const std::atomic<bool> &stopping_;
  int epoll_ = -1;
  int wake_ = -1;     // eventfd
  int reserve_ = -1;  // a descriptor given up to accept and shed one connection at EMFILE
  int listener_ = -1;
  SSL_CTX *tls_ = nullptr;
  WorkerPool *pool_ = nullptr;
  std::uint64_t nextId_ = 2;  // 0 is the listener, 1 the wake-up
  std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::unordered_map<std::string, std::size_t> perClient_;
  std::set<std::pair<Clock::time_point, std::uint64_t>> deadlines_;
  std::vector<std::uint64_t> ready_;   // answered and kept alive: read their next request
  std::vector<std::uint64_t> closed_;  // destroyed at the end of the round
  std::optional<Clock::time_point> stopAt_;
  std::vector<char> buffer_;

  std::mutex returnedMutex_;
  std::vector<std::unique_ptr<Connection>> returned_;
  bool ended_ = false;
};

}  // namespace qel::http
