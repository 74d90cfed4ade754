// SPDX-License-Identifier: Apache-2.0
#include "port_mapper.hpp"

#include <arpa/inet.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace qel::test {

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
