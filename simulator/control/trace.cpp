// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/trace.hpp"

#include <algorithm>

#include "simulator/control/procedure_names.hpp"
#include "simulator/model/log.hpp"

namespace qel::simd {

void Trace::record(rpcproc_t procedure, nlohmann::json arguments, nlohmann::json answer,
                   const std::optional<FaultHit> &fault) {
  ++total_;
  ++counts_[procedure];
  nlohmann::json entry{{"seq", total_},
                       {"proc", procedureName(procedure)},
                       {"number", procedure},
                       {"args", std::move(arguments)},
                       {"answer", std::move(answer)}};
  if (fault) {
    ++faulted_;
    entry["fault"] = {{"id", fault->id}, {"kind", faultKindName(fault->kind)}};
  }
  if (logLevel() >= kLogDebug) {
    // Texts are whatever bytes the client sent; those that are not UTF-8 are replaced.
    const std::string line = entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    logf(kLogDebug, "request %s", line.c_str());
  }
  recent_.push_back(std::move(entry));
  if (recent_.size() > kKept) recent_.pop_front();
}

nlohmann::json Trace::stats() const {
  nlohmann::json procedures = nlohmann::json::object();
  for (const auto &[procedure, count] : counts_) procedures[procedureName(procedure)] = count;
  return {{"total", total_}, {"faulted", faulted_}, {"procedures", std::move(procedures)}};
}

nlohmann::json Trace::last(std::size_t count) const {
  const std::size_t from = recent_.size() - std::min(count, recent_.size());
  return nlohmann::json(
      std::vector<nlohmann::json>(recent_.begin() + static_cast<long>(from), recent_.end()));
}

void Trace::reset() {
  counts_.clear();
  total_ = faulted_ = 0;
  recent_.clear();
}

}  // namespace qel::simd
