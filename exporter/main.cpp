// SPDX-License-Identifier: Apache-2.0
// qel-exporter: serves a service processor's sensors and state to Prometheus. See
// qel-exporter(8) and docs/exporter.md.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "exporter/http_service.hpp"
#include "exporter/options.hpp"
#include "tools/stop_signals.hpp"

using namespace qel;
using namespace qel::exporter;

namespace {

// From a stop signal to the end of the process: what the workers have not finished by then
// (a call to an SP that does not answer, a name lookup) is left behind.
constexpr auto kStopGrace = std::chrono::seconds(3);

// "HOST:PORT", "[V6ADDRESS]:PORT", or ":PORT" for every address.
std::string addressText(const std::string &host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

int main(int argc, char **argv) {
  int status = 0;
  const auto settings = readSettings(argc, argv, std::cout, std::cerr, status);
  if (!settings) return status;
  tools::setLogLevel(settings->logLevel);

  tools::StopSignals stopSignals;  // before the workers and the web server start their threads
  WorkerPool pool(settings->mapping, settings->pool);
  HttpService service(settings->service, pool);
  std::string error;
  if (!service.listen(settings->listen.host, settings->listen.port, error)) {
    tools::logLine(tools::LogLevel::kError, "", error);
    return 1;
  }
  const Target &target = settings->service.defaultTarget;
  tools::logLine(tools::LogLevel::kInfo,
                 "address=" + addressText(settings->listen.host, service.port()) +
                     " host=" + target.host + " program=" + std::to_string(target.program) +
                     " tls=" + (settings->service.web.tls() ? "true" : "false") +
                     " basic_auth=" + (settings->service.web.users.empty() ? "false" : "true"),
                 "listening");
  std::atomic<Clock::time_point> stopBy{Clock::time_point::max()};
  auto stop = [&] {
    stopBy = Clock::now() + kStopGrace;
    // Scrapes waiting for their workers are answered at once, so the server's workers are free.
    pool.stop();
    service.stop();
  };
  const bool served = stopSignals.serveUntilStopped([&] { return service.run(); }, stop);
  pool.stop();
  const Clock::time_point deadline = std::min(stopBy.load(), Clock::now() + kStopGrace);
  if (!pool.waitStopped(deadline)) {
    tools::logLine(tools::LogLevel::kWarn, "",
                   "workers still waiting for their SPs; exiting without them");
    std::fflush(stderr);
    std::_Exit(served ? 0 : 1);
  }
  tools::logLine(tools::LogLevel::kInfo, "", served ? "stopped" : "the listening socket failed");
  return served ? 0 : 1;
}
