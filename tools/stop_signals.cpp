// SPDX-License-Identifier: Apache-2.0
#include "tools/stop_signals.hpp"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace qel::tools {
namespace {

sigset_t stopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

StopSignals::StopSignals() {
  const sigset_t set = stopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool StopSignals::serveUntilStopped(const std::function<bool()> &serve,
                                    const std::function<void()> &stop) {
  std::thread stopper([&] {
    const sigset_t set = stopSet();
    int signal = 0;
    sigwait(&set, &signal);
    stop();
  });
  const bool served = serve();
  // The stopper may still be waiting (serve failed): one more stop signal ends its wait.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return served;
}

}  // namespace qel::tools
