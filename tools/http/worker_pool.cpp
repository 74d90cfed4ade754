// SPDX-License-Identifier: Apache-2.0
#include "tools/http/worker_pool.hpp"

#include "tools/http/response_bytes.hpp"

namespace qel::http {

WorkerPool::WorkerPool(const Limits &limits, const Handler &handler,
                       const std::atomic<bool> &stopping, std::atomic<unsigned long long> &served,
                       Done done)
    : limits_(limits),
      handler_(handler),
      stopping_(stopping),
      served_(served),
      done_(std::move(done)) {}

WorkerPool::~WorkerPool() {
  quit();
  for (std::thread &thread : threads_) thread.join();
}

void WorkerPool::start() {
  if (!threads_.empty()) return;
  for (std::size_t i = 0; i < limits_.workers; ++i) threads_.emplace_back([this] { work(); });
}

bool WorkerPool::offer(std::unique_ptr<Connection> &connection) {
  {
    const std::lock_guard lock(mutex_);
    if (quit_ || queue_.size() >= limits_.queue) return false;
    queue_.push_back(std::move(connection));
  }
  ready_.notify_one();
  return true;
}

std::vector<std::unique_ptr<Connection>> WorkerPool::takeWaiting() {
  const std::lock_guard lock(mutex_);
  std::vector<std::unique_ptr<Connection>> waiting;
  for (auto &connection : queue_) waiting.push_back(std::move(connection));
  queue_.clear();
  return waiting;
}

std::size_t WorkerPool::running() {
  const std::lock_guard lock(mutex_);
  return running_;
}

void WorkerPool::quit() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  ready_.notify_all();
}

void WorkerPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ready_.wait(lock, [this] { return quit_ || !queue_.empty(); });
    if (quit_) return;
    std::unique_ptr<Connection> connection = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    serve(*connection);
    done_(std::move(connection));
    lock.lock();
    --running_;
  }
}

void WorkerPool::serve(Connection &connection) {
  try {
    Response response;
    bool served = true;
    ++served_;
    try {
      handler_(connection.request, response);
    } catch (...) {
      served = false;
    }
    Framing framing{connection.request.method == "HEAD", connection.keepAlive && !stopping_.load(),
                    connection.http10};
    connection.out = served ? responseBytes(response, framing)
                            : refusalBytes(500, "the request could not be served", framing);
    connection.closeAfterWrite = !framing.keepAlive;
    connection.request = Request{};
    connection.lastIo = connection.flush().status;
  } catch (...) {
    // No memory for the response: the connection ends without one.
    connection.out.clear();
    connection.lastIo = IoStatus::kEnd;
  }
}

}  // namespace qel::http
