// SPDX-License-Identifier: Apache-2.0
// The exporter's web side: /metrics for the default SP, /probe?target= for any other, a small
// index page and /-/healthy. Scrapes in progress are bounded; one over the bound is answered
// 503 at once.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>

#include "exporter/exposition.hpp"
#include "exporter/scrape_request.hpp"
#include "exporter/worker_pool.hpp"

namespace qel::exporter {

struct ServiceOptions {
  Target defaultTarget;
  ScrapeTimes times;
  std::size_t maxScrapes = 16;
};

class HttpService {
 public:
  HttpService(const ServiceOptions &options, WorkerPool &pool);

  // Binds the listening socket (port 0: any free one); false with a reason in `error`.
  bool bind(const std::string &host, int port, std::string &error);
  int port() const { return port_; }
  // Serves until stop(); false when the socket failed.
  bool run();
  void stop();

 private:
  void scrape(const httplib::Request &request, httplib::Response &response, const Target &target);

  const ServiceOptions options_;
  WorkerPool &pool_;
  std::atomic<std::size_t> scrapes_{0};
  int port_ = 0;
  httplib::Server server_;
};

// The body of a scrape: the exporter's build, each collector's qel_up and duration, and the
// samples of the collectors that succeeded.
std::string scrapeBody(std::vector<CollectorOutcome> &outcomes, Format format);

}  // namespace qel::exporter
