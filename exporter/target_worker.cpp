// SPDX-License-Identifier: Apache-2.0
#include "exporter/target_worker.hpp"

#include <qel.h>

#include "exporter/collectors.hpp"
#include "exporter/log.hpp"
#include "tools/result_names.hpp"

namespace qel::exporter {
namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string targetFields(const Target &target, const char *collector) {
  return "target=" + target.host + " program=" + std::to_string(target.program) +
         " collector=" + collector;
}

}  // namespace

// One scrape's collection, shared by the scrape and the worker under the worker's mutex.
struct TargetWorker::Collection {
  explicit Collection(Clock::time_point end) : deadline(end), outcomes(kCollectors.size()) {
    for (std::size_t i = 0; i < kCollectors.size(); ++i)
      outcomes[i].collector = kCollectors[i].name;
  }
  const Clock::time_point deadline;
  std::vector<CollectorOutcome> outcomes;
  std::size_t running = kCollectors.size();  // the collector under way, if any
  Clock::time_point runningSince;
  bool done = false;
  bool abandoned = false;  // the scrape has answered: nothing more is written here
};

TargetWorker::TargetWorker(Target target, const tools::SensorMapping &mapping)
    : target_(std::move(target)),
      mapping_(mapping),
      lastAsked_(Clock::now()),
      thread_([this] { run(); }) {}

TargetWorker::~TargetWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

Clock::time_point TargetWorker::lastAsked() const {
  std::lock_guard lock(mutex_);
  return lastAsked_;
}

std::vector<CollectorOutcome> TargetWorker::collect(Clock::time_point deadline) {
  auto collection = std::make_shared<Collection>(deadline);
  std::unique_lock lock(mutex_);
  lastAsked_ = Clock::now();
  waiting_.push_back(collection);
  changed_.notify_all();
  changed_.wait_until(lock, deadline, [&] { return collection->done; });
  collection->abandoned = true;
  std::erase(waiting_, collection);
  std::vector<CollectorOutcome> outcomes = std::move(collection->outcomes);
  if (collection->running < outcomes.size()) {
    outcomes[collection->running].seconds = secondsSince(collection->runningSince);
  }
  lock.unlock();
  for (const CollectorOutcome &outcome : outcomes) {
    if (!outcome.finished) {
      logLine(LogLevel::kWarn, targetFields(target_, outcome.collector),
              "collection not finished by the scrape's deadline");
    }
  }
  return outcomes;
}

void TargetWorker::run() {
  SpSession session(target_);
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    const std::shared_ptr<Collection> collection = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    runCollection(session, *collection);
    lock.lock();
  }
}

void TargetWorker::runCollection(SpSession &session, Collection &collection) {
  const std::size_t count = kCollectors.size();
  // Once no connection can be opened, the collectors after the one that found out fail alike
  // without trying again, and the log has one line for them all.
  unsigned unreachable = RESULT_OK;
  for (std::size_t i = 0; i < count; ++i) {
    const Clock::time_point start = Clock::now();
    {
      std::lock_guard lock(mutex_);
      if (collection.abandoned || start >= collection.deadline) break;
      collection.running = i;
      collection.runningSince = start;
    }
    MetricSet metrics;
    const bool runs = unreachable == RESULT_OK;
    unsigned code = unreachable;
    if (runs) {
      // Each collector may use an equal share of the time left, so that one whose call hangs
      // leaves the others time to report.
      session.setDeadline(start + (collection.deadline - start) / (count - i));
      code = kCollectors[i].collect(session, mapping_, metrics);
      if (session.unreachable()) unreachable = code;
    }
    bool answered;
    {
      std::lock_guard lock(mutex_);
      answered = collection.abandoned;
      if (!answered) {
        collection.outcomes[i] = {kCollectors[i].name, true, code, secondsSince(start),
                                  code == RESULT_OK ? std::move(metrics) : MetricSet{}};
        collection.running = count;
      }
    }
    if (runs && code != RESULT_OK && !answered) {
      logLine(
          LogLevel::kWarn, targetFields(target_, kCollectors[i].name),
          (session.unreachable() ? "cannot connect, no collector runs: " : "collection failed: ") +
              tools::describeResult(code));
    }
  }
  {
    std::lock_guard lock(mutex_);
    collection.done = true;
  }
  changed_.notify_all();
}

}  // namespace qel::exporter
