// SPDX-License-Identifier: Apache-2.0
#include "tools/http/listener.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace qel::http {
namespace {

struct AddressListFree {
  void operator()(addrinfo *list) const { freeaddrinfo(list); }
};

// A socket bound to `address` and listening, or -1 with errno set.
int listenOn(const addrinfo &address) {
  const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1, off = 0;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (address.ai_family == AF_INET6) {
    // "::" serves IPv4 clients too, whatever the system's default for new sockets says.
    const auto &v6 = *reinterpret_cast<const sockaddr_in6 *>(address.ai_addr);
    const bool any = IN6_IS_ADDR_UNSPECIFIED(&v6.sin6_addr);
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, any ? &off : &on, sizeof on);
  }
  if (bind(fd, address.ai_addr, address.ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
    return fd;
  }
  const int error = errno;
  close(fd);
  errno = error;
  return -1;
}

}  // namespace

int openListener(const std::string &host, int port, std::string &error) {
  // Every address: IPv6 and IPv4 where the system has IPv6, else IPv4.
  if (host.empty()) {
    const int fd = openListener("::", port, error);
    return fd >= 0 ? fd : openListener("0.0.0.0", port, error);
  }
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  const std::string where = "cannot listen on " + host + " port " + std::to_string(port);
  if (port < 0 || port > 65535) {
    error = where + ": no such port";
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo *found = nullptr;
  const int resolved = getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    error = where + ": " + gai_strerror(resolved);
    return -1;
  }
  const std::unique_ptr<addrinfo, AddressListFree> list(found);
  int cause = EADDRNOTAVAIL;
  for (const addrinfo *address = list.get(); address != nullptr; address = address->ai_next) {
    const int fd = listenOn(*address);
    if (fd >= 0) return fd;
    cause = errno;
  }
  error = where + ": " + std::strerror(cause);
  return -1;
}

int boundPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
}

}  // namespace qel::http
