// SPDX-License-Identifier: Apache-2.0
#include "loopback.hpp"

#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

namespace qel::test {

sockaddr_in loopback() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool registered(uint32_t program) {
  sockaddr_in address = loopback();
  return pmap_getport(&address, program, 1, IPPROTO_TCP) != 0;
}

uint32_t freeProgram() {
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> transient(0x40000000u, 0x5FFFFFFFu);
  uint32_t program = transient(random);
  while (registered(program)) program = transient(random);
  return program;
}

int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback();
  socklen_t length = sizeof address;
  const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0;
  if (fd >= 0) close(fd);
  return bound ? ntohs(address.sin_port) : 0;
}

ConnectedPair connectedPair() {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback();
  socklen_t length = sizeof address;
  ConnectedPair pair;
  if (listener < 0) return pair;
  if (bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
      listen(listener, 1) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
    pair.client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(pair.client, reinterpret_cast<sockaddr *>(&address), length) == 0) {
      pair.server = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    }
  }
  close(listener);
  return pair;
}

}  // namespace qel::test
