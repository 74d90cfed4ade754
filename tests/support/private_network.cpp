// SPDX-License-Identifier: Apache-2.0
#include "private_network.hpp"

#include <arpa/inet.h>
#include <net/if.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char **environ;

namespace qel::test {

bool isolate() {
  if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return false;
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
  const bool up = s >= 0 && ioctl(s, SIOCSIFFLAGS, &request) == 0;
  close(s);
  const passwd *user = getpwnam("_rpc");
  return up && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/run", "tmpfs", 0, nullptr) == 0 && mkdir("/run/rpcbind", 0755) == 0 &&
         (user == nullptr || chown("/run/rpcbind", user->pw_uid, user->pw_gid) == 0);
}

bool portMapperAnswers(bool up) {
  for (int attempt = 0; attempt < 1000; ++attempt, usleep(2000)) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(111);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool answered = connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    close(s);
    if (answered == up) return true;
  }
  return false;
}

pid_t startPortMapper() {
  char *argv[] = {const_cast<char *>("rpcbind"), const_cast<char *>("-w"), const_cast<char *>("-f"),
                  nullptr};
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, "/usr/sbin/rpcbind", nullptr, nullptr, argv, environ) == 0;
  return started && portMapperAnswers(true) ? pid : -1;
}

void stopPortMapper(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace qel::test
