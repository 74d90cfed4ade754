// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/service_notify.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace qel::simd {

namespace {

struct Socket {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ~Socket() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

bool notifyServiceManager(const char *state) {
  const char *name = std::getenv("NOTIFY_SOCKET");
  if (name == nullptr || name[0] == '\0') return true;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t length = std::strlen(name);
  if ((name[0] != '/' && name[0] != '@') || length >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, name, length);
  // An abstract name starts with a NUL byte and is exactly as long as given.
  if (name[0] == '@') address.sun_path[0] = '\0';
  const auto size =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (name[0] == '/' ? 1 : 0));
  const Socket out;
  if (out.fd < 0) return false;
  const std::size_t bytes = std::strlen(state);
  return sendto(out.fd, state, bytes, MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&address),
                size) == static_cast<ssize_t>(bytes);
}

}  // namespace qel::simd
