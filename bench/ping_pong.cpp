// SPDX-License-Identifier: Apache-2.0
#include "ping_pong.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "loopback.hpp"
#include "placement.hpp"

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

void noDelay(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The peer's whole life: answer every request with a reply until the client goes.
void echo(int fd, std::size_t requestBytes, std::size_t replyBytes) {
  std::vector<char> in(requestBytes), out(replyBytes, 'r');
  while (moveAll(fd, in.data(), in.size(), false) && moveAll(fd, out.data(), out.size(), true)) {
  }
  close(fd);
}

}  // namespace

PingPong::PingPong(std::size_t requestBytes, std::size_t replyBytes, Peer peer, int peerCpu)
    : request_(requestBytes, 'q'), reply_(replyBytes) {
  const test::ConnectedPair pair = test::connectedPair();
  client_ = pair.client;
  const int served = pair.server;
  noDelay(client_);
  noDelay(served);
  if (peer == Peer::kThread) {
    thread_ = std::thread([=] {
      pinThread(peerCpu);
      echo(served, requestBytes, replyBytes);
    });
    return;
  }
  child_ = fork();
  if (child_ == 0) {
    close(client_);
    pinProcess(getpid(), peerCpu);
    echo(served, requestBytes, replyBytes);
    _exit(0);
  }
  close(served);
}

PingPong::~PingPong() {
  shutdown(client_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (child_ > 0) waitpid(child_, nullptr, 0);
  close(client_);
}

bool PingPong::roundTrips(long count) {
  for (long i = 0; i < count; ++i) {
    if (!moveAll(client_, request_.data(), request_.size(), true) ||
        !moveAll(client_, reply_.data(), reply_.size(), false)) {
      return false;
    }
  }
  return true;
}

}  // namespace qel::bench
