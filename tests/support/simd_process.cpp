// SPDX-License-Identifier: Apache-2.0
#include "simd_process.hpp"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "scripted_server.hpp"

namespace qel::test {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kStartLimit = std::chrono::seconds(10), kStopLimit = kStartLimit;

int exitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// execv wants mutable strings.
[[noreturn]] void execServer(const std::vector<std::string> &args) {
  std::vector<std::string> copies{QEL_SIMD_PATH};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

SimdProcess::~SimdProcess() { stop(); }

bool SimdProcess::start(uint32_t program, const std::vector<std::string> &extraArgs) {
  stop();
  program_ = program != 0 ? program : freeProgram();
  std::vector<std::string> args{"--foreground", "--log-level", "1", "--program",
                                std::to_string(program_)};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = fork();
  if (pid_ == 0) execServer(args);
  if (pid_ < 0) return false;
  for (auto end = std::chrono::steady_clock::now() + kStartLimit;
       std::chrono::steady_clock::now() < end;) {
    if (registered(program_)) return true;
    if (waitForExit(kPoll)) return false;
  }
  stop();
  return false;
}

std::optional<int> SimdProcess::waitForExit(std::chrono::milliseconds limit) {
  if (pid_ < 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return exitStatus(status);
    }
    std::this_thread::sleep_for(kPoll);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

int SimdProcess::stop() {
  if (pid_ < 0) return -1;
  kill(pid_, SIGTERM);
  if (auto status = waitForExit(kStopLimit)) return *status;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return -1;
}

int SimdProcess::run(const std::string &args, std::string &output) {
  FILE *pipe = popen((QEL_SIMD_PATH " " + args + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  output.clear();
  char buffer[512];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  return exitStatus(pclose(pipe));
}

}  // namespace qel::test
