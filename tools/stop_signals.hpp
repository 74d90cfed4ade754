// SPDX-License-Identifier: Apache-2.0
// How a tool's service ends: SIGINT and SIGTERM are taken by one thread of its own, which stops
// the service; every other thread keeps them blocked.
#pragma once

#include <functional>

namespace qel::tools {

// Blocks SIGINT and SIGTERM for this thread and the threads it starts from now on: construct
// it first in main(), before any thread.
class StopSignals {
 public:
  StopSignals();
  // Runs `serve` until it returns; a stop signal meanwhile calls `stop` (from another thread).
  // What `serve` returned.
  bool serveUntilStopped(const std::function<bool()> &serve, const std::function<void()> &stop);
};

}  // namespace qel::tools
