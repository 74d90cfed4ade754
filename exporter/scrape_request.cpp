// SPDX-License-Identifier: Apache-2.0
#include "exporter/scrape_request.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "tools/address_number.hpp"

namespace qel::exporter {
namespace {

// The longest host name DNS allows; the connection code keeps room for exactly this.
constexpr std::size_t kLongestHost = 253;
// Scrapes that take longer than this would hold a web thread for nothing.
constexpr double kLongestScrapeSeconds = 60;

bool hostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
         c == ':';
}

// The one value of parameter `name`, if given; false when it is given more than once.
bool single(const QueryParams &params, const std::string &name, std::optional<std::string> &value) {
  for (const auto &[key, given] : params) {
    if (key != name) continue;
    if (value) return false;
    value = given;
  }
  return true;
}

// Whether the resolver would read `host` as an IPv4 address (it also reads "10.1", "0x7f.1" or
// "2130706433") and it is not four decimal numbers.
bool oddAddress(const std::string &host) {
  in_addr address{};
  return inet_aton(host.c_str(), &address) != 0 && inet_pton(AF_INET, host.c_str(), &address) != 1;
}

}  // namespace

std::string hostProblem(const std::string &host) {
  if (host.empty()) return "target is empty";
  if (host.size() > kLongestHost) return "target is longer than 253 characters";
  if (!std::all_of(host.begin(), host.end(), hostCharacter) || host.front() == '-') {
    return "target is not a host name or address";
  }
  // One colon is a port: the port mapper gives the server's port, so a target has none.
  const auto colons = std::count(host.begin(), host.end(), ':');
  if (colons == 1) return "target has a port; give the host";
  if (colons > 1) return "target is an IPv6 address; the library connects over IPv4 only";
  if (oddAddress(host)) return "target is an IPv4 address not written as four decimal numbers";
  return "";
}

std::variant<Target, std::string> probeTarget(const QueryParams &params,
                                              unsigned long defaultProgram) {
  std::optional<std::string> host, program;
  if (!single(params, "target", host)) return std::string("target is given more than once");
  if (!single(params, "program", program)) return std::string("program is given more than once");
  if (!host) return std::string("target is missing");
  if (std::string problem = hostProblem(*host); !problem.empty()) return problem;
  Target target{*host, defaultProgram};
  if (program) {
    const auto number = tools::addressNumber(*program);
    if (!number || *number == 0) {
      return std::string("program is not a number from 1 to 4294967295 (decimal or 0x-hex)");
    }
    target.program = *number;
  }
  return target;
}

Clock::duration scrapeBudget(std::string_view timeoutHeader, const ScrapeTimes &times) {
  double seconds = 0;
  const char *end = timeoutHeader.data() + timeoutHeader.size();
  const auto [stop, error] = std::from_chars(timeoutHeader.data(), end, seconds);
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds <= 0) {
    return times.fallback;
  }
  // In seconds until the end, rounded up: a time the scraper gives, however small, is never 0.
  const double said = std::min(seconds, kLongestScrapeSeconds);
  const double offset = std::chrono::duration<double>(times.offset).count();
  return std::chrono::ceil<Clock::duration>(
      std::chrono::duration<double>(std::max(said - offset, said / 2)));
}

}  // namespace qel::exporter
