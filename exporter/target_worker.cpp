// SPDX-License-Identifier: Apache-2.0
#include "exporter/target_worker.hpp"

#include <qel.h>

#include "exporter/collectors.hpp"
#include "tools/log.hpp"
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

TargetWorker::TargetWorker(Target target, const tools::SensorMapping &mapping,
                           std::function<void()> ended)
    : target_(std::move(target)),
      mapping_(mapping),
      ended_(std::move(ended)),
      lastAsked_(Clock::now()),
      thread_([this] { run(); }) {}

TargetWorker::~TargetWorker() {
  stop();
  thread_.join();
}

void TargetWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
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
  changed_.wait_until(lock, deadline, [&] { return collection->done || stopping_; });
  collection->abandoned = true;
  std::erase(waiting_, collection);
  std::vector<CollectorOutcome> outcomes = std::move(collection->outcomes);
  const std::size_t running = collection->running;
  if (running < outcomes.size()) {
    outcomes[running].seconds = secondsSince(collection->runningSince);
  }
  const bool done = collection->done;
  lock.unlock();
  if (!done && running < outcomes.size()) {
    tools::logLine(
        tools::LogLevel::kWarn, targetFields(target_, outcomes[running].collector),
        "the scrape's deadline passed while this collector ran; it and those after it count "
        "as failed");
  } else if (!done) {
    tools::logLine(tools::LogLevel::kWarn, targetFields(target_, outcomes.front().collector),
                   "the scrape's deadline passed before the target's worker was free");
  }
  return outcomes;
}

void TargetWorker::run() {
  SpSession session(target_);
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) break;
    const std::shared_ptr<Collection> collection = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    runCollection(session, *collection);
    lock.lock();
  }
  lock.unlock();
  if (ended_) ended_();
}

void TargetWorker::runCollection(SpSession &session, Collection &collection) {
  const std::size_t count = kCollectors.size();
  // A new connection may take most of what is left of the scrape, not all of it: a target that
  // does not answer is reported with its cause before the scrape answers.
  const Clock::time_point begin = Clock::now();
  {
    std::lock_guard lock(mutex_);
    if (collection.abandoned || stopping_ || begin >= collection.deadline)
      return finish(collection);
    collection.running = 0;
    collection.runningSince = begin;
  }
  // Once no connection can be opened, no collector runs and the log has one line for them all.
  unsigned unreachable = session.open(begin + (collection.deadline - begin) * 9 / 10);
  for (std::size_t i = 0; i < count; ++i) {
    const Clock::time_point start = Clock::now();
    {
      std::lock_guard lock(mutex_);
      if (collection.abandoned || stopping_ || start >= collection.deadline) break;
      collection.running = i;
      collection.runningSince = i == 0 ? begin : start;
    }
    Collected collected;
    const bool runs = unreachable == RESULT_OK;
    unsigned code = unreachable;
    if (runs) {
      // Each collector's calls may use an equal share of the time left, so that one whose call
      // hangs leaves the others time to report.
      session.setDeadline(start + (collection.deadline - start) / (count - i));
      code = kCollectors[i].collect(session, mapping_, collected);
      if (session.unreachable()) unreachable = code;
    }
    const bool up = code == RESULT_OK;
    {
      std::lock_guard lock(mutex_);
      if (!collection.abandoned) {
        CollectorOutcome &outcome = collection.outcomes[i];
        outcome.finished = true;
        outcome.code = code;
        outcome.seconds = secondsSince(i == 0 ? begin : start);
        outcome.itemErrors = up ? collected.itemErrors : 0;
        if (up) outcome.metrics = std::move(collected.metrics);
        collection.running = count;
      }
    }
    const std::string fields = targetFields(target_, kCollectors[i].name);
    if (!up && (runs || i == 0)) {
      tools::logLine(tools::LogLevel::kWarn, fields,
                     session.unreachable() ? "cannot connect, no collector runs: " + session.cause()
                                           : "collection failed: " + tools::describeResult(code));
    } else if (up && collected.itemErrors > 0) {
      tools::logLine(tools::LogLevel::kWarn, fields,
                     std::to_string(collected.itemErrors) + " items left out; first " +
                         collected.firstItemError);
    }
  }
  finish(collection);
}

void TargetWorker::finish(Collection &collection) {
  {
    std::lock_guard lock(mutex_);
    collection.done = true;
  }
  changed_.notify_all();
}

}  // namespace qel::exporter
