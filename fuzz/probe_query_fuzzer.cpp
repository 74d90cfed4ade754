// SPDX-License-Identifier: Apache-2.0
// What a scraper sends qel-exporter: a /probe request target, split and decoded by the HTTP
// server as it splits every request, and (on the next lines) a scrape timeout header and an
// Accept header. A query gives a target that can be connected to (a host of 1 to 253
// characters, a program that is not 0) or a reason; a header gives a time between 0 and a
// minute; an Accept header without "openmetrics" never chooses OpenMetrics.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <variant>

#include "exporter/exposition.hpp"
#include "exporter/scrape_request.hpp"
#include "tools/http/request_target.hpp"

using namespace qel::exporter;

namespace {

std::string line(std::string &rest) {
  const std::size_t newline = rest.find('\n');
  std::string first = rest.substr(0, newline);
  rest = newline == std::string::npos ? "" : rest.substr(newline + 1);
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string rest(reinterpret_cast<const char *>(data), size);
  std::string path;
  QueryParams params;
  if (qel::http::splitTarget("/probe?" + line(rest), path, params)) {
    const auto target = probeTarget(params, 1);
    if (const auto *chosen = std::get_if<Target>(&target)) {
      if (chosen->host.empty() || chosen->host.size() > 253 || chosen->program == 0 ||
          chosen->host.find(':') != std::string::npos) {
        std::abort();
      }
    } else if (std::get<std::string>(target).empty()) {
      std::abort();
    }
  }
  const ScrapeTimes times{std::chrono::seconds(10), std::chrono::milliseconds(500)};
  const Clock::duration budget = scrapeBudget(line(rest), times);
  if (budget <= Clock::duration::zero() || budget > std::chrono::seconds(60)) std::abort();
  std::string accept = line(rest), lower = accept;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (formatFor(accept) == Format::kOpenMetrics && lower.find("openmetrics") == std::string::npos) {
    std::abort();
  }
  return 0;
}
