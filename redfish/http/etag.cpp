// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/etag.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace qel::redfish {
namespace {

// A resource's own properties that change by themselves (a threshold's Reading does not).
constexpr std::array<std::string_view, 6> kLiveProperties{"DateTime", "Reading",    "SpeedPercent",
                                                          "Status",   "PowerState", "Locked"};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string etagOf(const Json &payload) {
  Json stable = payload;
  if (stable.is_object()) {
    for (std::string_view name : kLiveProperties) stable.erase(std::string(name));
  }
  // FNV-1a over the payload's text: tags need to differ, not to resist forgery.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : render(stable)) hash = (hash ^ c) * 0x100000001b3ull;
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

bool listsEtag(const std::string &field, const std::string &etag) {
  std::string_view rest = field;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view tag = trimmed(rest.substr(0, comma));
    if (tag == "*" || tag == etag) return true;
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  return false;
}

}  // namespace qel::redfish
