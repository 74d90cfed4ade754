// SPDX-License-Identifier: Apache-2.0
// How `qel-simd ctl` shows a reply to a person; --json shows it as it came.
#include <ostream>

#include "simulator/control/ctl_client.hpp"

namespace qel::simd {

namespace {

std::string compact(const nlohmann::json &value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

void printFaults(const nlohmann::json &faults, std::ostream &out) {
  if (faults.empty()) out << "no faults\n";
  for (const nlohmann::json &fault : faults) {
    out << fault["id"] << ' ' << compact(fault["proc"]) << ' ' << compact(fault["kind"]);
    for (const char *key : {"value", "arg", "remaining", "seconds", "hits"}) {
      if (fault.contains(key)) out << ' ' << key << ' ' << compact(fault[key]);
    }
    out << '\n';
  }
}

void printTrace(const nlohmann::json &requests, std::ostream &out) {
  for (const nlohmann::json &entry : requests) {
    out << '#' << entry["seq"] << ' ' << compact(entry["proc"]) << ' ' << entry["args"].dump()
        << " -> " << entry["answer"].dump();
    if (entry.contains("fault")) out << " (fault " << compact(entry["fault"]["kind"]) << ')';
    out << '\n';
  }
}

}  // namespace

void printControlReply(const nlohmann::json &request, const nlohmann::json &reply,
                       std::ostream &out) {
  const std::string command = request.value("cmd", "");
  if (command == "faults") return printFaults(reply["faults"], out);
  if (command == "trace") return printTrace(reply["requests"], out);
  if (command == "stats") {
    out << "total " << reply["total"] << ", faulted " << reply["faulted"] << '\n';
    for (const auto &[name, count] : reply["procedures"].items())
      out << name << ' ' << count << '\n';
    return;
  }
  if (command == "fault") {
    out << "fault " << reply["id"] << '\n';
    return;
  }
  out << "ok";
  for (const auto &[key, value] : reply.items()) {
    if (key != "ok") out << ' ' << key << ' ' << compact(value);
  }
  out << '\n';
}

}  // namespace qel::simd
