// SPDX-License-Identifier: Apache-2.0
#include "exporter/http_service.hpp"

#include "exporter/families.hpp"
#include "exporter/process_metrics.hpp"

namespace qel::exporter {
namespace {

constexpr const char *kPlainText = "text/plain; charset=utf-8";
// Workers beyond the scrapes' bound, so that a scrape over it, a refusal and a health check
// are answered while every scrape place is taken.
constexpr std::size_t kSpareWorkers = 4;

// The server's bounds. A scrape is a GET without a body and with a few short header fields;
// Prometheus keeps a connection per target between scrapes (closed after the idle timeout),
// so that one Prometheus may hold one for every target of a fleet: that many, and the scrapes
// in progress, from one client, and four times as many in all.
http::Limits limitsFor(std::size_t maxScrapes, std::size_t maxTargets) {
  http::Limits limits;
  limits.maxHeadBytes = 8 * 1024;
  limits.maxHeaderCount = 48;
  limits.maxBodyBytes = 1024;
  limits.requestTimeout = std::chrono::seconds(5);
  limits.idleTimeout = std::chrono::seconds(5);
  limits.writeTimeout = std::chrono::seconds(10);
  limits.maxConnectionsPerClient = maxTargets + maxScrapes + kSpareWorkers;
  limits.maxConnections = 4 * limits.maxConnectionsPerClient;
  limits.workers = maxScrapes + kSpareWorkers;
  limits.queue = 64;
  return limits;
}

// The paths the exporter counts requests by; any other is counted as "other".
constexpr std::string_view kPaths[] = {"/", "/metrics", "/probe", "/-/healthy", "/-/metrics"};

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
         "</li>\n<li>/probe?target=HOST[&amp;program=N]: an SP that --probe.allow names</li>\n"
         "<li><a href=\"-/metrics\">/-/metrics</a>: the exporter itself</li>\n"
         "<li><a href=\"-/healthy\">/-/healthy</a></li>\n</ul>\n</body></html>\n";
}

void reply(http::Response &response, int status, const std::string &body,
           const char *type = kPlainText) {
  response.status = status;
  response.headers.set("Content-Type", type);
  response.body = body;
}

// The value of header field `name`, "" when there is none.
std::string field(const http::Request &request, std::string_view name) {
  const std::string *value = request.headers.find(name);
  return value ? *value : "";
}

}  // namespace

std::string scrapeBody(std::vector<CollectorOutcome> &outcomes, Format format) {
  MetricSet metrics;
  for (const CollectorOutcome &outcome : outcomes) {
    const Labels collector{{"collector", outcome.collector}};
    metrics.add(family::kUp, collector, outcome.up() ? 1 : 0);
    metrics.add(family::kDuration, collector, outcome.seconds);
    if (outcome.up()) metrics.add(family::kItemErrors, collector, outcome.itemErrors);
  }
  for (CollectorOutcome &outcome : outcomes) metrics.merge(std::move(outcome.metrics));
  std::string body;
  writeMetrics(metrics, format, body);
  return body;
}

HttpService::HttpService(const ServiceOptions &options, WorkerPool &pool)
    : options_(options),
      pool_(pool),
      auth_(options.web.users),
      server_(limitsFor(options.maxScrapes, options.maxTargets),
              [this](const http::Request &request, http::Response &response) {
                answer(request, response);
              }) {}

bool HttpService::listen(const std::string &host, int port, std::string &error) {
  if (options_.web.tls() && !server_.useTls({options_.web.certificate, options_.web.key}, error)) {
    return false;
  }
  return server_.listen(host, port, error);
}

void HttpService::answer(const http::Request &request, http::Response &response) {
  if (request.method != "GET" && request.method != "HEAD") {
    reply(response, 405, "only GET and HEAD are served\n");
    response.headers.set("Allow", "GET, HEAD");
  } else if (auth_.enabled() && !auth_.allows(request)) {
    reply(response, 401, "credentials needed\n");
    response.headers.set("WWW-Authenticate", "Basic realm=\"qel-exporter\", charset=\"UTF-8\"");
  } else {
    route(request, response);
  }
  count(request.path, response.status);
}

void HttpService::route(const http::Request &request, http::Response &response) {
  const std::string &path = request.path;
  if (path == "/") {
    reply(response, 200, indexPage(options_.defaultTarget), "text/html; charset=utf-8");
  } else if (path == "/-/healthy") {
    reply(response, 200, "OK\n");
  } else if (path == "/-/metrics") {
    selfMetrics(request, response);
  } else if (path == "/metrics") {
    scrape(request, response, options_.defaultTarget);
  } else if (path == "/probe") {
    auto target = probeTarget(request.parameters, options_.defaultTarget.program);
    if (const auto *reason = std::get_if<std::string>(&target)) {
      return reply(response, 400, *reason + "\n");
    }
    const Target &chosen = std::get<Target>(target);
    // Matched as written: a refused target is never resolved or connected to.
    if (chosen.host != options_.defaultTarget.host && !options_.allowed.allows(chosen.host)) {
      return reply(response, 403, "target not allowed: --probe.allow does not name it\n");
    }
    scrape(request, response, chosen);
  } else {
    reply(response, 404, "not found\n");
  }
}

void HttpService::scrape(const http::Request &request, http::Response &response,
                         const Target &target) {
  const ScrapePlace place(scrapes_, options_.maxScrapes);
  if (!place) return reply(response, 503, "too many scrapes in progress\n");
  const Clock::time_point deadline =
      Clock::now() +
      scrapeBudget(field(request, "X-Prometheus-Scrape-Timeout-Seconds"), options_.times);
  auto outcomes = pool_.collect(target, deadline);
  if (!outcomes) return reply(response, 503, "too many targets, or stopping\n");
  const Format format = formatFor(field(request, "Accept"));
  reply(response, 200, scrapeBody(*outcomes, format), contentType(format));
}

void HttpService::selfMetrics(const http::Request &request, http::Response &response) {
  MetricSet metrics;
  metrics.add(family::kBuildInfo, {{"version", QEL_TOOLS_VERSION}}, 1);
  {
    std::lock_guard lock(countsMutex_);
    for (const auto &[key, count] : counts_) {
      metrics.add(family::kRequests, {{"path", key.first}, {"code", std::to_string(key.second)}},
                  static_cast<double>(count));
    }
  }
  const http::Counters server = server_.counters();
  metrics.add(family::kConnections, {}, static_cast<double>(server.connections));
  metrics.add(family::kRefusedConnections, {}, static_cast<double>(server.refusedConnections));
  metrics.add(family::kRejectedRequests, {}, static_cast<double>(server.rejected));
  metrics.add(family::kOpenConnections, {}, static_cast<double>(server.open));
  metrics.add(family::kScrapesInProgress, {}, static_cast<double>(scrapes_.load()));
  metrics.add(family::kWorkers, {}, static_cast<double>(pool_.size()));
  addProcessMetrics(metrics);
  const Format format = formatFor(field(request, "Accept"));
  std::string body;
  writeMetrics(metrics, format, body);
  reply(response, 200, body, contentType(format));
}

void HttpService::count(const std::string &path, int status) {
  const bool known = std::find(std::begin(kPaths), std::end(kPaths), path) != std::end(kPaths);
  std::lock_guard lock(countsMutex_);
  ++counts_[{known ? path : "other", status}];
}

}  // namespace qel::exporter
