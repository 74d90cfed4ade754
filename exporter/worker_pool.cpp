// SPDX-License-Identifier: Apache-2.0
#include "exporter/worker_pool.hpp"

#include <algorithm>

#include "tools/log.hpp"

namespace qel::exporter {
namespace {

void logDropped(const TargetWorker &worker) {
  tools::logLine(
      tools::LogLevel::kInfo,
      "target=" + worker.target().host + " program=" + std::to_string(worker.target().program),
      "target no longer scraped; its connection is closed");
}

}  // namespace

WorkerPool::WorkerPool(const tools::SensorMapping &mapping, PoolLimits limits)
    : mapping_(mapping), limits_(limits), sweeper_([this] { sweep(); }) {}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  sweeper_.join();
  // Each worker ends after what it is doing; the map's destruction waits for them.
}

std::optional<std::vector<CollectorOutcome>> WorkerPool::collect(const Target &target,
                                                                 Clock::time_point deadline) {
  Workers dropped;
  std::shared_ptr<TargetWorker> worker;
  {
    std::lock_guard lock(mutex_);
    if (!stopping_) worker = workerFor(target, dropped);
  }
  // Ending dropped workers waits for their threads: never under the pool's lock.
  dropped.clear();
  if (!worker) return std::nullopt;
  return worker->collect(deadline);
}

std::shared_ptr<TargetWorker> WorkerPool::workerFor(const Target &target, Workers &dropped) {
  const Key key{target.host, target.program};
  if (auto found = workers_.find(key); found != workers_.end()) return found->second;
  if (workers_.size() >= limits_.maxTargets) takeIdle(dropped);
  if (workers_.size() >= limits_.maxTargets) return nullptr;
  ++threads_;
  auto worker = std::make_shared<TargetWorker>(target, mapping_, [this] {
    {
      std::lock_guard lock(mutex_);
      --threads_;
    }
    threadEnded_.notify_all();
  });
  workers_.emplace(key, worker);
  tools::logLine(tools::LogLevel::kDebug,
                 "target=" + target.host + " program=" + std::to_string(target.program),
                 "first scrape of this target");
  return worker;
}

std::size_t WorkerPool::size() const {
  std::lock_guard lock(mutex_);
  return workers_.size();
}

void WorkerPool::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto &[key, worker] : workers_) worker->stop();
  }
  stopped_.notify_all();
}

bool WorkerPool::waitStopped(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return threadEnded_.wait_until(lock, deadline, [this] { return threads_ == 0; });
}

void WorkerPool::takeIdle(Workers &dropped) {
  const Clock::time_point cutoff = Clock::now() - limits_.idleAfter;
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->second->lastAsked() < cutoff) {
      logDropped(*it->second);
      dropped.push_back(std::move(it->second));
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void WorkerPool::sweep() {
  const Clock::duration period =
      std::max<Clock::duration>(limits_.idleAfter / 4, std::chrono::milliseconds(100));
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    stopped_.wait_for(lock, period, [this] { return stopping_; });
    Workers dropped;
    takeIdle(dropped);
    lock.unlock();
    dropped.clear();
    lock.lock();
  }
}

}  // namespace qel::exporter
