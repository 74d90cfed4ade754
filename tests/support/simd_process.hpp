// SPDX-License-Identifier: Apache-2.0
// Runs the built qel-simd as a child process for a test: started on a program number of its
// own, waited for until the port mapper knows it, stopped with SIGTERM.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "child_process.hpp"

namespace qel::test {

class SimdProcess {
 public:
  // Starts the server in the foreground on `program` (0: a free random one) with `extraArgs`
  // added, and waits until it is registered. False when it exits or is not registered within
  // ten seconds.
  bool start(uint32_t program = 0, const std::vector<std::string> &extraArgs = {});
  // SIGTERM, then waits for the end: the exit status, or -1 when it did not end normally.
  int stop() { return process_.stop(); }
  // Waits up to `limit` for the server to end by itself: its exit status, or nullopt.
  std::optional<int> waitForExit(std::chrono::milliseconds limit) {
    return process_.waitForExit(limit);
  }

  uint32_t program() const { return program_; }
  pid_t pid() const { return process_.pid(); }

  // Runs the server with `args` (words split at blanks) to its end: its exit status (-1 when
  // killed), with what it wrote.
  static int run(const std::string &args, std::string &output);

 private:
  ChildProcess process_;
  uint32_t program_ = 0;
};

}  // namespace qel::test
