// SPDX-License-Identifier: Apache-2.0
// The workers, one per target: made on a target's first scrape, reused while it is scraped,
// and ended (closing its connection) once it has not been asked for a while. Their number is
// bounded: a new target that finds the pool full is refused.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "exporter/target_worker.hpp"

namespace qel::exporter {

struct PoolLimits {
  std::size_t maxTargets = 256;
  Clock::duration idleAfter = std::chrono::minutes(10);
};

class WorkerPool {
 public:
  WorkerPool(const tools::SensorMapping &mapping, PoolLimits limits);
  ~WorkerPool();
  WorkerPool(const WorkerPool &) = delete;
  WorkerPool &operator=(const WorkerPool &) = delete;

  // The target's collection by `deadline`; nothing when it is new and the pool is full.
  std::optional<std::vector<CollectorOutcome>> collect(const Target &target,
                                                       Clock::time_point deadline);
  // Targets with a worker now.
  std::size_t size() const;

  // For the end of the program: answers every waiting scrape at once, refuses new ones and asks
  // every worker to end after what it is doing.
  void stop();
  // Waits for the workers' threads to end until `deadline`: false when some are still busy then
  // (in a call or a name lookup), and the pool must not be destroyed.
  bool waitStopped(Clock::time_point deadline);

 private:
  using Key = std::pair<std::string, unsigned long>;
  using Workers = std::vector<std::shared_ptr<TargetWorker>>;

  std::shared_ptr<TargetWorker> workerFor(const Target &target, Workers &dropped);
  // Moves the workers not asked for since `idleAfter` out of the map (under mutex_).
  void takeIdle(Workers &dropped);
  void sweep();

  const tools::SensorMapping &mapping_;
  const PoolLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::size_t threads_ = 0;  // workers' threads not yet ended
  std::condition_variable threadEnded_;
  std::map<Key, std::shared_ptr<TargetWorker>> workers_;
  std::thread sweeper_;  // last: starts once everything above is ready
};

}  // namespace qel::exporter
