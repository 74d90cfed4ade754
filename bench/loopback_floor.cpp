#include "loopback_floor.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qel::bench {
namespace {

bool moveAll(int fd, char *data, std::size_t size, bool sending) {
  while (size > 0) {
    const ssize_t n = sending ? send(fd, data, size, MSG_NOSIGNAL) : recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

LoopbackPingPong::LoopbackPingPong(std::size_t requestBytes, std::size_t replyBytes)
    : request_(requestBytes, 'q'), reply_(replyBytes, 'r') {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(listener_, reinterpret_cast<sockaddr *>(&address), length);
  listen(listener_, 1);
  getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
  client_ = socket(AF_INET, SOCK_STREAM, 0);
  connect(client_, reinterpret_cast<sockaddr *>(&address), length);
  const int served = accept(listener_, nullptr, nullptr);
  peer_ = std::thread([this, served] {
    std::vector<char> in(request_.size()), out(reply_.size(), 'r');
    while (moveAll(served, in.data(), in.size(), false) &&
           moveAll(served, out.data(), out.size(), true)) {
    }
    close(served);
  });
}

LoopbackPingPong::~LoopbackPingPong() {
  shutdown(client_, SHUT_RDWR);
  peer_.join();
  close(client_);
  close(listener_);
}

bool LoopbackPingPong::roundTrip() {
  return moveAll(client_, request_.data(), request_.size(), true) &&
         moveAll(client_, reply_.data(), reply_.size(), false);
}

}  // namespace qel::bench
