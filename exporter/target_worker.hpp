// SPDX-License-Identifier: Apache-2.0
// One target's worker: a thread of its own whose library connection is the target's, reused
// from scrape to scrape. A scrape hands it a collection and waits for it up to the scrape's
// deadline; what has not finished by then counts as failed, and the worker finishes (or times
// out) on its own without holding up the scrape or the ones after it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "exporter/metric_set.hpp"
#include "exporter/sp_session.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

struct CollectorOutcome {
  const char *collector = "";
  bool finished = false;
  unsigned code = 0;        // the failing result code; 0 for success
  double seconds = 0;       // how long the collector ran (for an unfinished one: so far)
  unsigned itemErrors = 0;  // items that failed alone
  MetricSet metrics;        // empty unless it succeeded
  bool up() const { return finished && code == 0; }
};

class TargetWorker {
 public:
  // `ended` is called by the worker's thread as it ends.
  TargetWorker(Target target, const tools::SensorMapping &mapping, std::function<void()> ended);
  // Asks the thread to end after what it is doing (stop()), and waits for it.
  ~TargetWorker();
  TargetWorker(const TargetWorker &) = delete;
  TargetWorker &operator=(const TargetWorker &) = delete;

  // Every collector's outcome, in kCollectors order, by `deadline` at the latest (at once after
  // stop()).
  std::vector<CollectorOutcome> collect(Clock::time_point deadline);
  // Asks the thread to end after what it is doing, and wakes every scrape waiting for it.
  void stop();

  const Target &target() const { return target_; }
  // When a scrape last asked for this target.
  Clock::time_point lastAsked() const;

 private:
  struct Collection;

  void run();
  void runCollection(SpSession &session, Collection &collection);
  void finish(Collection &collection);

  const Target target_;
  const tools::SensorMapping &mapping_;
  const std::function<void()> ended_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Handed over, not yet taken by the thread: scrapes of one target at once take turns.
  std::deque<std::shared_ptr<Collection>> waiting_;
  Clock::time_point lastAsked_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace qel::exporter
