// SPDX-License-Identifier: Apache-2.0
#include "child_process.hpp"

#include <net/if.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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

ChildProcess::ChildProcess(const std::function<int()> &body) {
  pid_ = fork();
  if (pid_ == 0) _exit(body());
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

bool isolate() {
  if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return false;
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
  const bool up = s >= 0 && ioctl(s, SIOCSIFFLAGS, &request) == 0;
  close(s);
  const passwd *user = getpwnam("_rpc");
  return up && mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/run", "tmpfs", 0, nullptr) == 0 && mkdir("/run/rpcbind", 0755) == 0 &&
         (user == nullptr || chown("/run/rpcbind", user->pw_uid, user->pw_gid) == 0);
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
