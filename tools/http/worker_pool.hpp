// SPDX-License-Identifier: Apache-2.0
// The workers: a bounded queue of complete requests and the threads that serve them. A worker
// runs the handler, makes the response's bytes and writes what the socket takes at once; the
// connection then goes back to the event loop, which writes the rest, if any, and reads the
// next request. A slow reader thus never holds a worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/http/connection.hpp"

namespace qel::http {

class WorkerPool {
 public:
  // Called on a worker's thread with each connection once its response is made.
  using Done = std::function<void(std::unique_ptr<Connection>)>;

  // Counts in `served` each request handed to the handler.
  WorkerPool(const Limits &limits, const Handler &handler, const std::atomic<bool> &stopping,
             std::atomic<unsigned long long> &served, Done done);
  // Waits for the handlers running to return.
  ~WorkerPool();
  WorkerPool(const WorkerPool &) = delete;
  WorkerPool &operator=(const WorkerPool &) = delete;

  void start();
  // Queues the connection's request; when `queue` requests wait already, leaves it (false).
  bool offer(std::unique_ptr<Connection> &connection);
  // The connections whose requests no worker took yet.
  std::vector<std::unique_ptr<Connection>> takeWaiting();
  // Requests being served now.
  std::size_t running();
  // The workers end after the request each serves.
  void quit();

 private:
  void work();
  void serve(Connection &connection);

  const Limits &limits_;
  const Handler &handler_;
  const std::atomic<bool> &stopping_;
  std::atomic<unsigned long long> &served_;
  const Done done_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::unique_ptr<Connection>> queue_;
  std::size_t running_ = 0;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qel::http
