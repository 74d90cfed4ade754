// SPDX-License-Identifier: Apache-2.0
// What a scraper sends qel-exporter: a /probe query string, decoded by the HTTP library as the
// server decodes it, and (after the first newline) a scrape timeout header. A query gives a
// target that can be connected to (a host of 1 to 253 characters, a program that is not 0) or a
// reason; a header gives a time between 0 and a minute.
#include <httplib.h>

#include <cstdlib>
#include <string>
#include <variant>

#include "exporter/scrape_request.hpp"

using namespace qel::exporter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  const std::size_t newline = input.find('\n');
  httplib::Params params;
  httplib::detail::parse_query_text(input.substr(0, newline), params);
  const auto target = probeTarget(params, 1);
  if (const auto *chosen = std::get_if<Target>(&target)) {
    if (chosen->host.empty() || chosen->host.size() > 253 || chosen->program == 0) std::abort();
  } else if (std::get<std::string>(target).empty()) {
    std::abort();
  }
  const std::string header = newline == std::string::npos ? "" : input.substr(newline + 1);
  const ScrapeTimes times{std::chrono::seconds(10), std::chrono::milliseconds(500)};
  const Clock::duration budget = scrapeBudget(header, times);
  if (budget <= Clock::duration::zero() || budget > std::chrono::seconds(60)) std::abort();
  return 0;
}
