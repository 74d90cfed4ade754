// SPDX-License-Identifier: Apache-2.0
// Everything that steers the server while it runs: the control channel, the faults, the
// request trace, the replies faults hold back, the scenario's timeline and the server's
// absences. It shares the server's loop as its partner.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "simulator/control/control_channel.hpp"
#include "simulator/control/faults.hpp"
#include "simulator/control/trace.hpp"
#include "simulator/model/timeline.hpp"
#include "simulator/rpc/held_replies.hpp"
#include "simulator/rpc/rpc_service.hpp"

namespace qel::simd {

class JsonNode;

class Controller : public LoopPartner {
 public:
  using Clock = std::chrono::steady_clock;

  Controller(RpcService &rpc, SpState &state);

  // Opens the control channel on `path`; false with `error` set when it cannot.
  bool openChannel(const std::string &path, std::string &error);
  // Runs one request of the control vocabulary: {"ok": true, ...} or {"ok": false, "error"}.
  nlohmann::json execute(const nlohmann::json &request);

  CallHooks *callHooks() override { return &hooks_; }
  bool holds(int fd) const override { return held_.holds(fd); }
  void addPollFds(std::vector<pollfd> &fds) override;
  int timeoutMs() override;
  void serve(const pollfd *fds, std::size_t count) override;

 private:
  // The commands, one each (control_commands.cpp).
  nlohmann::json run(const std::string &command, const JsonNode &request);
  nlohmann::json clearFaults(const JsonNode &request);
  nlohmann::json changeSensor(const JsonNode &request);
  nlohmann::json changePower(const JsonNode &request);
  nlohmann::json changeComponent(const JsonNode &request);
  nlohmann::json changeFan(const JsonNode &request);
  nlohmann::json restart(const JsonNode &request);
  nlohmann::json goAway(const JsonNode &request);

  void runTimeline();
  void comeBackWhenDue();

  RpcService &rpc_;
  SpState &state_;
  Faults faults_;
  Trace trace_;
  HeldReplies held_;
  CallHooks hooks_{faults_, trace_, held_};
  Timeline timeline_;
  ControlChannel channel_;
  bool channelOpen_ = false;
  std::optional<Clock::time_point> backAt_;  // while away
};

}  // namespace qel::simd
