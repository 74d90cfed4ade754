// SPDX-License-Identifier: Apache-2.0
// Whether a target can be reached, found out by the exporter itself before the library creates a
// connection to it. The library creates connections one at a time for the whole process and,
// while it does, a target that drops packets would hold every other target's creation; so the
// exporter resolves the target, connects to its port mapper, asks for the program's port and
// connects to that port, each step within the scrape's deadline and outside any shared lock. Only
// a target that answered all of them a moment ago enters the library's creation, by its address.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qel::exporter {

struct TargetCheck {
  bool reachable = false;
  bool timedOut = false;  // the target did not answer in time (rather than refusing)
  std::string address;    // the IPv4 address that answered, dotted
  std::string cause;      // why it cannot be reached: one line for the log
};

// Resolves `host` (a name or an IPv4 address; names to their IPv4 addresses, the first whose
// port mapper answers deciding) and checks that `program` version `version` is registered there
// and its port accepts connections, all by `deadline` (name resolution aside, which takes what
// the resolver takes).
TargetCheck checkTarget(const std::string &host, uint32_t program, uint32_t version,
                        std::chrono::steady_clock::time_point deadline);

}  // namespace qel::exporter
