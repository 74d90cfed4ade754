// SPDX-License-Identifier: Apache-2.0
// The exporter's web side, on the tools' HTTP server: /metrics for the default SP,
// /probe?target= for the SPs the allow-list names, /-/metrics for the exporter itself, a small
// index page and /-/healthy. With basic_auth_users every path needs credentials; with a
// certificate and key every connection is TLS. Scrapes in progress are bounded; one over the
// bound is answered 503 at once, and the server's own limits bound everything before it.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "exporter/allow_list.hpp"
#include "exporter/basic_auth.hpp"
#include "exporter/exposition.hpp"
#include "exporter/scrape_request.hpp"
#include "exporter/web_config.hpp"
#include "exporter/worker_pool.hpp"
#include "tools/http/server.hpp"

namespace qel::exporter {

struct ServiceOptions {
  Target defaultTarget;
  ScrapeTimes times;
  std::size_t maxScrapes = 16;
  std::size_t maxTargets = 256;  // the pool's bound, for the connections one client may hold
  AllowList allowed;             // /probe's targets besides the default one
  WebConfig web;
};

class HttpService {
 public:
  HttpService(const ServiceOptions &options, WorkerPool &pool);

  // Sets TLS up as the web configuration says, binds and listens (port 0: any free one); false
  // with a reason in `error` (an address in use among them).
  bool listen(const std::string &host, int port, std::string &error);
  int port() const { return server_.port(); }
  // Serves until stop(); false when the socket failed.
  bool run() { return server_.run(); }
  void stop() { server_.stop(); }

 private:
  void answer(const http::Request &request, http::Response &response);
  void route(const http::Request &request, http::Response &response);
  void scrape(const http::Request &request, http::Response &response, const Target &target);
  void selfMetrics(const http::Request &request, http::Response &response);
  void count(const std::string &path, int status);

  const ServiceOptions options_;
  WorkerPool &pool_;
  BasicAuth auth_;
  std::atomic<std::size_t> scrapes_{0};
  std::mutex countsMutex_;
  std::map<std::pair<std::string, int>, unsigned long long> counts_;  // by path and status
  http::Server server_;  // last: its workers call the members above
};

// The body of a scrape: each collector's qel_up, duration and item errors, and the samples of
// the collectors that succeeded.
std::string scrapeBody(std::vector<CollectorOutcome> &outcomes, Format format);

}  // namespace qel::exporter
