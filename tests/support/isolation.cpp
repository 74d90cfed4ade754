#include "isolation.hpp"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace qel::test {
namespace {

constexpr int kNotPermitted = 200;

bool enterEmptyNetwork() {
  if (unshare(CLONE_NEWNET) != 0) return false;
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
  const bool up = s >= 0 && ioctl(s, SIOCSIFFLAGS, &request) == 0;
  if (s >= 0) close(s);
  return up;
}

}  // namespace

int inEmptyNetwork(const std::function<int(const std::function<bool()> &isolate)> &body) {
  const pid_t child = fork();
  if (child == 0) {
    bool refused = false;
    const int status = body([&refused] { return !(refused = !enterEmptyNetwork()); });
    _exit(refused ? kNotPermitted : status);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) >= kNotPermitted) return -1;
  return WEXITSTATUS(status);
}

int inEmptyNetwork(int (*body)()) {
  return inEmptyNetwork(
      [body](const std::function<bool()> &isolate) { return isolate() ? body() : kNotPermitted; });
}

}  // namespace qel::test
