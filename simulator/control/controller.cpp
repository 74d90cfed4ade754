// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/controller.hpp"

#include <algorithm>
#include <cmath>

#include "simulator/model/log.hpp"

namespace qel::simd {

namespace {

constexpr auto kRetry = std::chrono::seconds(1);

}  // namespace

Controller::Controller(RpcService &rpc, SpState &state)
    : rpc_(rpc), state_(state), channel_([this](const nlohmann::json &r) { return execute(r); }) {
  timeline_.restart(state_.scenario().timeline, state_.loadedAt());
}

bool Controller::openChannel(const std::string &path, std::string &error) {
  channelOpen_ = channel_.open(path, error);
  return channelOpen_;
}

void Controller::addPollFds(std::vector<pollfd> &fds) {
  if (channelOpen_) channel_.addPollFds(fds);
  held_.addPollFds(fds);
}

int Controller::timeoutMs() {
  const auto now = Clock::now();
  std::optional<Clock::time_point> next = held_.nextDue();
  auto consider = [&](std::optional<Clock::time_point> when) {
    if (when && (!next || *when < *next)) next = when;
  };
  consider(faults_.nextExpiry());
  consider(backAt_);
  if (auto at = timeline_.next()) {
    const double wait = std::max(0.0, *at - state_.clock().elapsed());
    consider(now +
             std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait)));
  }
  if (!next) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
  return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

void Controller::serve(const pollfd *fds, std::size_t count) {
  if (channelOpen_) channel_.serve(fds, count);
  held_.release(faults_.expire());
  runTimeline();
  comeBackWhenDue();
  held_.serve();
}

// A configure loads the scenario anew and starts its timeline over.
void Controller::runTimeline() {
  if (timeline_.start() != state_.loadedAt()) {
    timeline_.restart(state_.scenario().timeline, state_.loadedAt());
  }
  for (const std::string &text : timeline_.due(state_.clock().elapsed())) {
    const nlohmann::json reply = execute(nlohmann::json::parse(text));
    if (reply.value("ok", false)) {
      logf(kLogInfo, "timeline: %s", text.c_str());
    } else {
      logf(kLogError, "timeline: %s: %s", text.c_str(), reply.value("error", "").c_str());
    }
  }
}

void Controller::comeBackWhenDue() {
  if (!backAt_ || *backAt_ > Clock::now()) return;
  std::string error;
  if (rpc_.reopen(error)) {
    backAt_.reset();
    logf(kLogInfo, "back after an absence");
  } else {
    logf(kLogError, "cannot come back yet: %s", error.c_str());
    backAt_ = Clock::now() + kRetry;
  }
}

}  // namespace qel::simd
