// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/faults.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "lib/protocol/procedures.hpp"
#include "simulator/control/procedure_names.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/scenario_reader.hpp"

namespace qel::simd {

namespace {

// Each kind in the order of FaultKind, with what its value means (nothing: it takes none).
struct KindEntry {
  std::string_view name;
  std::string_view value;
};
constexpr std::array<KindEntry, 6> kKinds = {{
    {"code", "the code that the calls answer with"},
    {"delay", "the delay of the reply in milliseconds"},
    {"close", ""},
    {"cut", "the number of reply bytes that go out, record mark included"},
    {"garble", ""},
    {"hang", ""},
}};
constexpr int64_t kIntMax = std::numeric_limits<int>::max();
constexpr int64_t kIntMin = std::numeric_limits<int>::min();

rpcproc_t readProcedure(const JsonNode &node) {
  const std::string text =
      node.isNumber() ? std::to_string(node.integer(0, 0xFFFFFFFF)) : node.text();
  auto number = procedureNumber(text);
  if (!number) node.fail("no management procedure \"" + text + "\"");
  return *number;
}

FaultKind readKind(const JsonNode &node) {
  const std::string text = node.text();
  auto found = std::find_if(kKinds.begin(), kKinds.end(),
                            [&](const KindEntry &kind) { return kind.name == text; });
  if (found == kKinds.end())
    node.fail("unknown kind \"" + text + "\" (code, delay, close, cut, garble or hang)");
  return static_cast<FaultKind>(found - kKinds.begin());
}

// A sensor id or component as it stands; an interface or selector number in decimal.
std::string readArgument(const JsonNode &node) {
  return node.isNumber() ? std::to_string(node.integer(0, 0xFFFFFFFF)) : node.text();
}

}  // namespace

std::string_view faultKindName(FaultKind kind) { return kKinds[static_cast<int>(kind)].name; }

std::vector<std::string> faultKindNames() {
  std::vector<std::string> names;
  for (const KindEntry &kind : kKinds) names.emplace_back(kind.name);
  return names;
}

std::string_view faultValueMeaning(std::string_view name) {
  for (const KindEntry &kind : kKinds) {
    if (kind.name == name) return kind.value;
  }
  return {};
}

FaultSpec Faults::parse(const JsonNode &request) {
  request.allowOnly({"cmd", "proc", "kind", "value", "arg", "count", "seconds"});
  FaultSpec spec;
  spec.procedure = readProcedure(request.required("proc"));
  spec.kind = readKind(request.required("kind"));
  const KindEntry &kind = kKinds[static_cast<int>(spec.kind)];
  if (!kind.value.empty()) {
    if (!request.optional("value")) {
      request.fail("a \"" + std::string(kind.name) + "\" fault needs \"value\", " +
                   std::string(kind.value));
    }
    const JsonNode value = request.required("value");
    spec.value = static_cast<int>(spec.kind == FaultKind::kCode ? value.integer(kIntMin, kIntMax)
                                                                : value.integer(0, kIntMax));
  }
  if (spec.kind == FaultKind::kCode && spec.procedure == proc::InternalState::kNumber) {
    request.required("kind").fail("InternalState answers a bare text, which carries no code");
  }
  if (auto arg = request.optional("arg")) spec.argument = readArgument(*arg);
  if (auto count = request.optional("count"))
    spec.count = static_cast<unsigned>(count->integer(1, kIntMax));
  if (auto seconds = request.optional("seconds")) {
    spec.seconds = seconds->number();
    if (*spec.seconds <= 0) seconds->fail("must be greater than 0");
  }
  return spec;
}

unsigned Faults::add(FaultSpec spec) {
  Active fault{nextId_++, std::move(spec), std::nullopt};
  if (fault.spec.seconds) {
    fault.until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(*fault.spec.seconds));
  }
  logf(kLogInfo, "fault %u: %s on %s%s", fault.id, faultKindName(fault.spec.kind).data(),
       procedureName(fault.spec.procedure).c_str(),
       fault.spec.argument ? (" for \"" + *fault.spec.argument + "\"").c_str() : "");
  faults_.push_back(std::move(fault));
  return faults_.back().id;
}

std::optional<FaultHit> Faults::take(rpcproc_t procedure, std::string_view argument) {
  const auto now = Clock::now();
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    const FaultSpec &spec = it->spec;
    const bool spent = spec.count && it->hits >= *spec.count;
    if (spec.procedure != procedure || spent || (it->until && *it->until <= now)) continue;
    if (spec.argument && *spec.argument != argument) continue;
    ++it->hits;
    const FaultHit hit{it->id, spec.kind, spec.value};
    // A spent hang stays listed: the calls it holds come free when it is cleared.
    if (spec.count && it->hits >= *spec.count && spec.kind != FaultKind::kHang) faults_.erase(it);
    return hit;
  }
  return std::nullopt;
}

std::vector<unsigned> Faults::clear(std::optional<unsigned> id) {
  std::vector<unsigned> removed;
  std::erase_if(faults_, [&](const Active &fault) {
    if (id && fault.id != *id) return false;
    removed.push_back(fault.id);
    return true;
  });
  return removed;
}

std::vector<unsigned> Faults::expire() {
  const auto now = Clock::now();
  std::vector<unsigned> removed;
  std::erase_if(faults_, [&](const Active &fault) {
    if (!fault.until || *fault.until > now) return false;
    removed.push_back(fault.id);
    return true;
  });
  return removed;
}

std::optional<Faults::Clock::time_point> Faults::nextExpiry() const {
  std::optional<Clock::time_point> next;
  for (const Active &fault : faults_) {
    if (fault.until && (!next || *fault.until < *next)) next = fault.until;
  }
  return next;
}

nlohmann::json Faults::list() const {
  nlohmann::json list = nlohmann::json::array();
  const auto now = Clock::now();
  for (const Active &fault : faults_) {
    const FaultSpec &spec = fault.spec;
    nlohmann::json entry{{"id", fault.id},
                         {"proc", procedureName(spec.procedure)},
                         {"kind", faultKindName(spec.kind)},
                         {"hits", fault.hits}};
    if (spec.kind == FaultKind::kCode || spec.kind == FaultKind::kDelay ||
        spec.kind == FaultKind::kCut) {
      entry["value"] = spec.value;
    }
    if (spec.argument) entry["arg"] = *spec.argument;
    if (spec.count) entry["remaining"] = *spec.count - std::min(*spec.count, fault.hits);
    if (fault.until) {
      const double left = std::chrono::duration<double>(*fault.until - now).count();
      entry["seconds"] = std::round(left * 10) / 10;  // what is left, to a tenth
    }
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace qel::simd
