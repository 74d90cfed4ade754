// SPDX-License-Identifier: Apache-2.0
#include "fake_peer.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback.hpp"

namespace qel::test {
namespace {

// The peer's socket bound to 127.0.0.1:`port` and listening with `backlog`; -1 on failure.
int listenOn(uint16_t port, int backlog, uint16_t &bound) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address = loopback();
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
      listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  bound = ntohs(address.sin_port);
  return fd;
}

// The transaction id of the first call record on `fd`, read whole; nothing at its end.
bool readCall(int fd, uint32_t &xid) {
  Bytes record;
  for (bool last = false; !last;) {
    uint32_t mark = 0;
    if (recv(fd, &mark, 4, MSG_WAITALL) != 4) return false;
    mark = ntohl(mark);
    last = (mark & 0x80000000u) != 0;
    const size_t start = record.size();
    record.resize(start + (mark & 0x7fffffffu));
    if (recv(fd, record.data() + start, record.size() - start, MSG_WAITALL) !=
        static_cast<ssize_t>(record.size() - start)) {
      return false;
    }
  }
  xid = wordAt(record, 0);
  return true;
}

void sendAll(int fd, const Bytes &bytes) { send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

}  // namespace

Bytes acceptedReply(uint32_t xid, uint32_t value) {
  return words({0x80000000u | 28, xid, 1, 0, 0, 0, 0, value});
}

FakePeer::FakePeer(uint16_t port, std::vector<PeerScript> scripts) : scripts_(std::move(scripts)) {
  listener_ = listenOn(port, 64, port_);
  if (listener_ >= 0) acceptor_ = std::thread([this] { acceptLoop(); });
}

FakePeer::~FakePeer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : connections_) shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread &worker : workers_) worker.join();
  for (int fd : connections_) close(fd);
  if (listener_ >= 0) close(listener_);
}

void FakePeer::acceptLoop() {
  for (size_t n = 0;; ++n) {
    pollfd ready{listener_, POLLIN, 0};
    while (poll(&ready, 1, 50) == 0) {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (fd < 0 || stopping_) {
      if (fd >= 0) close(fd);
      return;
    }
    connections_.push_back(fd);
    const PeerScript script =
        scripts_.empty() ? PeerScript{} : scripts_[std::min(n, scripts_.size() - 1)];
    workers_.emplace_back([this, fd, script] { serve(fd, script); });
  }
}

bool FakePeer::pause(std::chrono::milliseconds d) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, d, [this] { return stopping_; });
}

void FakePeer::serve(int fd, PeerScript script) {
  uint32_t xid = 0;
  if (!readCall(fd, xid)) script.kind = PeerScript::Kind::kSilent;
  switch (script.kind) {
    case PeerScript::Kind::kSilent:
      break;
    case PeerScript::Kind::kAnswer:
      sendAll(fd, acceptedReply(xid, script.value));
      break;
    case PeerScript::Kind::kTrickle:
      for (uint8_t byte : acceptedReply(xid, script.value)) {
        if (!pause(script.every)) return;
        sendAll(fd, {byte});
      }
      break;
    case PeerScript::Kind::kWrongXid:
      for (uint32_t other = xid + 1; pause(script.every); ++other) {
        sendAll(fd, acceptedReply(other, script.value));
      }
      break;
  }
  // Keeps the connection open until the other end closes it or the peer stops.
  char sink[256];
  while (recv(fd, sink, sizeof sink, 0) > 0) {
  }
  std::lock_guard lock(mutex_);
  if (stopping_) return;  // closed by the destructor
  std::erase(connections_, fd);
  close(fd);
}

FullListener::FullListener() {
  listener_ = listenOn(0, 0, port_);
  if (listener_ < 0) return;
  // With a backlog of 0 one connection waiting to be accepted fills the queue; a second makes
  // sure, should the kernel count otherwise.
  sockaddr_in address = loopback();
  address.sin_port = htons(port_);
  for (int i = 0; i < 2; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    fillers_.push_back(fd);
  }
}

FullListener::~FullListener() {
  for (int fd : fillers_) close(fd);
  if (listener_ >= 0) close(listener_);
}

}  // namespace qel::test
