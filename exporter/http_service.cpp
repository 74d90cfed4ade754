// SPDX-License-Identifier: Apache-2.0
#include "exporter/http_service.hpp"

#include "exporter/log.hpp"

namespace qel::exporter {
namespace {

const Family kBuildInfo{"qel_exporter_build_info", "The exporter's version.", MetricType::kInfo};
const Family kUp{"qel_up", "1 when the collector's collection succeeded, else 0."};
const Family kDuration{"qel_collector_duration_seconds", "How long the collector took."};

constexpr const char *kPlainText = "text/plain; charset=utf-8";
// Threads beyond the scrapes' bound, so that a scrape over it and a health check are answered.
constexpr std::size_t kSpareThreads = 4;

// Takes one of `bound` places; holds nothing when none is free.
class ScrapePlace {
 public:
  ScrapePlace(std::atomic<std::size_t> &taken, std::size_t bound) : taken_(taken) {
    held_ = taken_.fetch_add(1) < bound;
    if (!held_) taken_.fetch_sub(1);
  }
  ~ScrapePlace() {
    if (held_) taken_.fetch_sub(1);
  }
  ScrapePlace(const ScrapePlace &) = delete;
  ScrapePlace &operator=(const ScrapePlace &) = delete;
  explicit operator bool() const { return held_; }

 private:
  std::atomic<std::size_t> &taken_;
  bool held_;
};

std::string escapeHtml(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string indexPage(const Target &target) {
  return "<!DOCTYPE html>\n<html><head><title>qel-exporter</title></head><body>\n"
         "<h1>qel-exporter</h1>\n<p>A service processor's sensors and state for Prometheus.</p>\n"
         "<ul>\n<li><a href=\"metrics\">/metrics</a>: the SP at " +
         escapeHtml(target.host) + ", program " + std::to_string(target.program) +
         "</li>\n<li><a href=\"probe?target=localhost\">/probe?target=HOST[&amp;program=N]</a>: "
         "any other SP</li>\n<li><a href=\"-/healthy\">/-/healthy</a></li>\n</ul>\n"
         "</body></html>\n";
}

void refuse(httplib::Response &response, int status, const std::string &reason) {
  response.status = status;
  response.set_content(reason + "\n", kPlainText);
}

}  // namespace

std::string scrapeBody(std::vector<CollectorOutcome> &outcomes, Format format) {
  MetricSet metrics;
  metrics.add(kBuildInfo, {{"version", QEL_TOOLS_VERSION}}, 1);
  for (const CollectorOutcome &outcome : outcomes) {
    metrics.add(kUp, {{"collector", outcome.collector}}, outcome.up() ? 1 : 0);
    metrics.add(kDuration, {{"collector", outcome.collector}}, outcome.seconds);
  }
  for (CollectorOutcome &outcome : outcomes) metrics.merge(std::move(outcome.metrics));
  std::string body;
  writeMetrics(metrics, format, body);
  return body;
}

HttpService::HttpService(const ServiceOptions &options, WorkerPool &pool)
    : options_(options), pool_(pool) {
  const std::size_t threads = options_.maxScrapes + kSpareThreads;
  server_.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server_.Get("/", [this](const httplib::Request &, httplib::Response &response) {
    response.set_content(indexPage(options_.defaultTarget), "text/html; charset=utf-8");
  });
  server_.Get("/-/healthy", [](const httplib::Request &, httplib::Response &response) {
    response.set_content("OK\n", kPlainText);
  });
  server_.Get("/metrics", [this](const httplib::Request &request, httplib::Response &response) {
    scrape(request, response, options_.defaultTarget);
  });
  server_.Get("/probe", [this](const httplib::Request &request, httplib::Response &response) {
    auto target = probeTarget(request.params, options_.defaultTarget.program);
    if (const auto *reason = std::get_if<std::string>(&target))
      return refuse(response, 400, *reason);
    scrape(request, response, std::get<Target>(target));
  });
  // Unknown paths and methods: the library's status, with a line that says it.
  server_.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request &, httplib::Response &response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        refuse(response, response.status, response.status == 404 ? "not found" : "bad request");
        return httplib::Server::HandlerResponse::Handled;
      }));
}

void HttpService::scrape(const httplib::Request &request, httplib::Response &response,
                         const Target &target) {
  const ScrapePlace place(scrapes_, options_.maxScrapes);
  if (!place) return refuse(response, 503, "too many scrapes in progress");
  const Clock::time_point deadline =
      Clock::now() +
      scrapeBudget(request.get_header_value("X-Prometheus-Scrape-Timeout-Seconds"), options_.times);
  auto outcomes = pool_.collect(target, deadline);
  if (!outcomes) return refuse(response, 503, "too many targets");
  const Format format = formatFor(request.get_header_value("Accept"));
  response.set_content(scrapeBody(*outcomes, format), contentType(format));
}

bool HttpService::bind(const std::string &host, int port, std::string &error) {
  port_ = port == 0 ? server_.bind_to_any_port(host) : port;
  if (port_ > 0 && (port == 0 || server_.bind_to_port(host, port))) return true;
  error = "cannot listen on " + host + " port " + std::to_string(port);
  return false;
}

bool HttpService::run() { return server_.listen_after_bind(); }

void HttpService::stop() { server_.stop(); }

}  // namespace qel::exporter
