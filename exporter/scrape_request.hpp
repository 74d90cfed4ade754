// SPDX-License-Identifier: Apache-2.0
// What a scrape request asks for, read from what the client sent: the target and program of a
// /probe query, and the time the scraper will wait.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "exporter/sp_session.hpp"

namespace qel::exporter {

// A query's parameters, decoded, in order, as the HTTP server hands them over.
using QueryParams = std::vector<std::pair<std::string, std::string>>;

// Why `host` cannot be a target (too long, a character no host name has, a port, an IPv6
// address, an IPv4 address in another form than four decimal numbers), or "".
std::string hostProblem(const std::string &host);

// The target of a /probe query ("target=HOST[&program=N]", N decimal or 0x-hexadecimal, not 0;
// without it, `defaultProgram`), or the one-line reason it is refused.
std::variant<Target, std::string> probeTarget(const QueryParams &params,
                                              unsigned long defaultProgram);

struct ScrapeTimes {
  Clock::duration fallback;  // when the scraper says nothing (or nothing that reads)
  Clock::duration offset;    // taken off what it says, to answer before it gives up
};

// The time a scrape may take: the scraper's X-Prometheus-Scrape-Timeout-Seconds less the offset
// (at least half of it, at most a minute), or the fallback.
Clock::duration scrapeBudget(std::string_view timeoutHeader, const ScrapeTimes &times);

}  // namespace qel::exporter
