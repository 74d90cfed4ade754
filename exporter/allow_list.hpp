// SPDX-License-Identifier: Apache-2.0
// The targets /probe may read (--probe.allow): IPv4 addresses and networks, and host name
// patterns. A target is matched as it is written, before anything is resolved or connected to:
// an address by the networks, a name by the patterns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel::exporter {

class AllowList {
 public:
  // Adds "192.0.2.7", "192.0.2.0/24" or a name pattern ("sp1.example.org", "*.example.org",
  // "*": any name; letters in either case); false with a one-line reason in `error`.
  bool add(std::string_view entry, std::string &error);
  // Whether `target` (a host name or a dotted-quad address) is allowed.
  bool allows(std::string_view target) const;
  bool empty() const { return networks_.empty() && patterns_.empty(); }

 private:
  struct Network {
    uint32_t address;
    uint32_t mask;
  };
  std::vector<Network> networks_;
  std::vector<std::string> patterns_;  // lower case
};

}  // namespace qel::exporter
