// SPDX-License-Identifier: Apache-2.0
// Faults set through the control channel or the scenario timeline: each one makes calls of a
// procedure (optionally only those with a given argument) misbehave, for a number of calls, a
// time, or until it is cleared.
#pragma once

#include <rpc/rpc.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::simd {

class JsonNode;

enum class FaultKind {
  kCode,    // answer `value` instead of doing the work (a code, or a negative value)
  kDelay,   // send the true reply `value` milliseconds late
  kClose,   // close the connection without a reply
  kCut,     // send the first `value` bytes of the reply, then close the connection
  kGarble,  // send a reply whose results do not decode
  kHang,    // keep the reply back until the fault is cleared or its time is up
};

struct FaultSpec {
  rpcproc_t procedure = 0;
  std::optional<std::string> argument;  // a sensor id, component, interface or selector
  FaultKind kind = FaultKind::kCode;
  int value = 0;
  std::optional<unsigned> count;  // the next N matching calls
  std::optional<double> seconds;  // from now on, for this long
};

// A fault that hit a call.
struct FaultHit {
  unsigned id = 0;
  FaultKind kind = FaultKind::kCode;
  int value = 0;
};

std::string_view faultKindName(FaultKind kind);
// The kinds by name, as requests and `qel-simd ctl fault` take them.
std::vector<std::string> faultKindNames();
// What the value of a fault of the kind `name` means; empty for a kind that takes none.
std::string_view faultValueMeaning(std::string_view name);

class Faults {
 public:
  using Clock = std::chrono::steady_clock;

  // Reads a fault from a request; throws ScenarioError that names the field.
  static FaultSpec parse(const JsonNode &request);

  unsigned add(FaultSpec spec);
  // The fault that applies to this call, counted against its limit; none for a true answer.
  std::optional<FaultHit> take(rpcproc_t procedure, std::string_view argument);
  // Removes fault `id`, or every fault; the ids removed.
  std::vector<unsigned> clear(std::optional<unsigned> id);
  // Removes the faults whose time is up; the ids removed.
  std::vector<unsigned> expire();
  std::optional<Clock::time_point> nextExpiry() const;
  nlohmann::json list() const;

 private:
  struct Active {
    unsigned id;
    FaultSpec spec;
    std::optional<Clock::time_point> until;
    unsigned hits = 0;
  };
  std::vector<Active> faults_;
  unsigned nextId_ = 1;
};

}  // namespace qel::simd
