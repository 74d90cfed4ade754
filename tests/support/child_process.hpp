// SPDX-License-Identifier: Apache-2.0
// A program a test runs beside itself (qel-simd, qel-exporter, Prometheus), and waiting for a
// condition to come true.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qel::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  // Starts `argv` (its first word the program's path) at once.
  explicit ChildProcess(const std::vector<std::string> &argv) { start(argv); }
  // Forks a child that runs `body` and exits with what it returns.
  explicit ChildProcess(const std::function<int()> &body);
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  // Stops a program still running, then starts `argv`; false when it cannot be forked.
  bool start(const std::vector<std::string> &argv);
  // SIGTERM (SIGKILL after ten seconds), then the end: the exit status, or -1 when it did not
  // exit normally or does not run.
  int stop();
  // Waits up to `limit` for the program to end by itself: its exit status, or nullopt.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// A network and a /run of the calling process's own (it should have no other threads): its
// loopback up, and /run/rpcbind ready for a port mapper of its own. False when that cannot be
// set up here.
bool isolate();

// Runs the shell command `command` to its end: its exit status (-1 when it did not exit
// normally), with what it wrote on standard output and standard error.
int runCommand(const std::string &command, std::string &output);

// Asks `holds` every `step` until it says yes (true) or `limit` has passed (false).
bool eventually(const std::function<bool()> &holds,
                std::chrono::milliseconds limit = std::chrono::seconds(10),
                std::chrono::milliseconds step = std::chrono::milliseconds(20));

}  // namespace qel::test
