// SPDX-License-Identifier: Apache-2.0
#include "child_process.hpp"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace qel::test {

bool ChildProcess::start(const std::vector<std::string> &argv) {
  stop();
  std::vector<std::string> words = argv;  // execv wants mutable strings
  std::vector<char *> pointers;
  for (std::string &word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  return pid_ > 0;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) {
  std::optional<int> status;
  eventually(
      [&] {
        int raw = 0;
        if (pid_ <= 0 || waitpid(pid_, &raw, WNOHANG) != pid_) return false;
        pid_ = -1;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return true;
      },
      limit);
  return status;
}

int ChildProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  if (const auto status = waitForExit(std::chrono::seconds(10))) return *status;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return -1;
}

int runCommand(const std::string &command, std::string &output) {
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  output.clear();
  char buffer[512];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool eventually(const std::function<bool()> &holds, std::chrono::milliseconds limit,
                std::chrono::milliseconds step) {
  for (const auto end = std::chrono::steady_clock::now() + limit;;
       std::this_thread::sleep_for(step)) {
    if (holds()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
  }
}

}  // namespace qel::test
