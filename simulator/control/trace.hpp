// SPDX-License-Identifier: Apache-2.0
// What the clients asked: calls counted per procedure, and the latest requests with their
// decoded arguments and the answer they got, for `ctl stats` and `ctl trace`.
#pragma once

#include <rpc/rpc.h>

#include <cstddef>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "simulator/control/faults.hpp"

namespace qel::simd {

class Trace {
 public:
  static constexpr std::size_t kKept = 256;

  // Counts the call and keeps it; also logged at debug level.
  void record(rpcproc_t procedure, nlohmann::json arguments, nlohmann::json answer,
              const std::optional<FaultHit> &fault);
  // {"total": n, "faulted": n, "procedures": {"SysGetSensorValue": n, ...}}
  nlohmann::json stats() const;
  // The latest `count` requests, oldest first.
  nlohmann::json last(std::size_t count) const;
  void reset();

 private:
  std::map<rpcproc_t, unsigned long> counts_;
  unsigned long total_ = 0;
  unsigned long faulted_ = 0;
  std::deque<nlohmann::json> recent_;
};

}  // namespace qel::simd
