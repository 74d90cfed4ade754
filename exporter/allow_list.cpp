// SPDX-License-Identifier: Apache-2.0
#include "exporter/allow_list.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace qel::exporter {
namespace {

constexpr std::size_t kLongestName = 253;

// A dotted quad of four decimal numbers, in host order.
std::optional<uint32_t> dottedQuad(std::string_view text) {
  if (text.size() >= INET_ADDRSTRLEN) return std::nullopt;
  const std::string copy(text);
  in_addr address{};
  if (inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

bool patternCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
         c == '*';
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Whether `name` matches `pattern`, whose '*' stands for any run of characters: the usual
// greedy match that goes back to the last star on a mismatch.
bool matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == lower(name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool AllowList::add(std::string_view entry, std::string &error) {
  const std::size_t slash = entry.find('/');
  const std::string_view host = entry.substr(0, slash);
  if (const auto address = dottedQuad(host)) {
    int bits = 32;
    if (slash != std::string_view::npos) {
      const std::string_view length = entry.substr(slash + 1);
      const auto [end, status] =
          std::from_chars(length.data(), length.data() + length.size(), bits);
      if (status != std::errc() || end != length.data() + length.size() || length.empty() ||
          bits < 0 || bits > 32) {
        error = "\"" + std::string(entry) + "\": the prefix length is not 0 to 32";
        return false;
      }
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    networks_.push_back({*address & mask, mask});
    return true;
  }
  if (entry.find(':') != std::string_view::npos) {
    error =
        "\"" + std::string(entry) + "\": IPv6 is not supported (the library connects over IPv4)";
    return false;
  }
  if (entry.empty() || entry.size() > kLongestName || slash != std::string_view::npos ||
      !std::all_of(entry.begin(), entry.end(), patternCharacter)) {
    error = "\"" + std::string(entry) +
            "\" is not an IPv4 address, a network (ADDRESS/BITS) or a host name pattern";
    return false;
  }
  std::string pattern(entry);
  std::transform(pattern.begin(), pattern.end(), pattern.begin(), lower);
  patterns_.push_back(std::move(pattern));
  return true;
}

bool AllowList::allows(std::string_view target) const {
  if (const auto address = dottedQuad(target)) {
    return std::any_of(networks_.begin(), networks_.end(), [&](const Network &network) {
      return (*address & network.mask) == network.address;
    });
  }
  return std::any_of(patterns_.begin(), patterns_.end(),
                     [&](const std::string &pattern) { return matches(pattern, target); });
}

}  // namespace qel::exporter
