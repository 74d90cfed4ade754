// SPDX-License-Identifier: Apache-2.0
// qel-exporter: serves a service processor's sensors and state to Prometheus. See
// qel-exporter(8) and docs/exporter.md.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <thread>

#include "exporter/http_service.hpp"
#include "exporter/options.hpp"

using namespace qel::exporter;

int main(int argc, char **argv) {
  int status = 0;
  const auto settings = readSettings(argc, argv, std::cout, std::cerr, status);
  if (!settings) return status;
  setLogLevel(settings->logLevel);

  // SIGINT and SIGTERM are taken by one thread of their own, which stops the web server; every
  // other thread, started after this, keeps them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  WorkerPool pool(settings->mapping, settings->pool);
  HttpService service(settings->service, pool);
  std::string error;
  if (!service.bind(settings->listenHost, settings->listenPort, error)) {
    logLine(LogLevel::kError, "", error);
    return 1;
  }
  const Target &target = settings->service.defaultTarget;
  logLine(LogLevel::kInfo,
          "address=" + settings->listenHost + ":" + std::to_string(service.port()) +
              " host=" + target.host + " program=" + std::to_string(target.program),
          "listening");
  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.stop();
  });
  const bool served = service.run();
  // The stopper may still be waiting (the socket failed): one more stop signal ends its wait.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  logLine(LogLevel::kInfo, "", served ? "stopped" : "the listening socket failed");
  return served ? 0 : 1;
}
