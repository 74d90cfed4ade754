// SPDX-License-Identifier: Apache-2.0
#include "scripted_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>

namespace qel::test {
namespace {

constexpr uint32_t kLastFragment = 0x80000000u, kCall = 0, kReply = 1, kAccepted = 0, kSuccess = 0,
                   kProcUnavail = 3;

// A signal (the fuzzer's timer, say) may interrupt a wait on the socket; it is taken up again.
template <typename Io>
ssize_t retried(Io io) {
  ssize_t n;
  while ((n = io()) < 0 && errno == EINTR) {
  }
  return n;
}

bool sendAll(int fd, const uint8_t *data, std::size_t size) {
  for (ssize_t n; size > 0; data += n, size -= static_cast<std::size_t>(n)) {
    if ((n = retried([&] { return send(fd, data, size, MSG_NOSIGNAL); })) <= 0) return false;
  }
  return true;
}

// The records of one connection, received in chunks: a small call takes one recv, as a lean
// server's would.
class RecordReader {
 public:
  explicit RecordReader(int fd) : fd_(fd) {}
  // The next record: fragments until the last one.
  bool next(Bytes &record) {
    record.clear();
    for (Bytes mark(4);;) {
      if (!take(mark.data(), 4)) return false;
      const std::size_t start = record.size(), length = wordAt(mark, 0) & ~kLastFragment;
      record.resize(start + length);
      if (!take(record.data() + start, length)) return false;
      if (mark[0] & 0x80) return true;
    }
  }

 private:
  bool take(uint8_t *out, std::size_t size) {
    for (std::size_t n; size > 0; out += n, size -= n, at_ += n) {
      if (at_ == end_) {
        const ssize_t got = retried([&] { return recv(fd_, chunk_.data(), chunk_.size(), 0); });
        if (got <= 0) return false;
        at_ = 0;
        end_ = static_cast<std::size_t>(got);
      }
      n = std::min(size, end_ - at_);
      std::memcpy(out, chunk_.data() + at_, n);
    }
    return true;
  }
  int fd_;
  Bytes chunk_ = Bytes(64 * 1024);
  std::size_t at_ = 0, end_ = 0;
};

// Sends `head` then `tail` as one fragment with one sendmsg where the socket takes it all; a
// large scripted result is not copied on its way.
bool writeRecord(int fd, const Bytes &head, const Bytes &tail = {}) {
  const Bytes first =
      concat({words({kLastFragment | static_cast<uint32_t>(head.size() + tail.size())}), head});
  iovec parts[] = {{const_cast<uint8_t *>(first.data()), first.size()},
                   {const_cast<uint8_t *>(tail.data()), tail.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = 2;
  const ssize_t sent = retried([&] { return sendmsg(fd, &message, MSG_NOSIGNAL); });
  if (sent < 0) return false;
  const std::size_t ofFirst = std::min(static_cast<std::size_t>(sent), first.size());
  const std::size_t ofTail = static_cast<std::size_t>(sent) - ofFirst;
  return sendAll(fd, first.data() + ofFirst, first.size() - ofFirst) &&
         sendAll(fd, tail.data() + ofTail, tail.size() - ofTail);
}

}  // namespace

ScriptedServer::ScriptedServer(uint32_t program) : program_(program) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback();
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
      listen(listener_, 128) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
    throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  if (!pmap_set(program_, 1, IPPROTO_TCP, port_)) {
    throw std::runtime_error("scripted server: cannot register with rpcbind (is it running?)");
  }
  registered_ = true;
  acceptor_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
  shutDown();
  if (acceptor_.joinable()) acceptor_.join();
  for (Worker &worker : workers_) worker.thread.join();
  close(listener_);
}

void ScriptedServer::shutDown() {
  std::lock_guard lock(mutex_);
  if (registered_) pmap_unset(program_, 1);
  registered_ = false;
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  for (int fd : connectionFds_) ::shutdown(fd, SHUT_RDWR);
  changed_.notify_all();
}

void ScriptedServer::acceptLoop() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    // A reply leaves at once: the tail of a large one must not wait for the client's
    // delayed acknowledgement.
    const int noDelay = 1;
    if (fd >= 0) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    std::lock_guard lock(mutex_);
    if (fd < 0 || stopping_) {
      if (fd >= 0) close(fd);
      return;
    }
    // A worker marks itself finished as its last step under the lock: joining it here waits
    // only for its thread to return.
    workers_.remove_if([](Worker &worker) {
      if (worker.finished) worker.thread.join();
      return worker.finished;
    });
    const int id = ++accepted_;
    ++open_;
    connectionFds_.push_back(fd);
    Worker &worker = workers_.emplace_back();
    worker.thread = std::thread([this, fd, id, &worker] { serve(fd, id, worker); });
  }
}

void ScriptedServer::serve(int fd, int id, Worker &self) {
  Bytes record;
  RecordReader reader(fd);
  while (reader.next(record) && handle(fd, record, id)) {
  }
  std::lock_guard lock(mutex_);
  std::erase(connectionFds_, fd);
  close(fd);
  --open_;
  self.finished = true;
  changed_.notify_all();
}

std::shared_ptr<const Reply> ScriptedServer::nextReply(const ReceivedCall &call) {
  Responder responder;
  {
    std::lock_guard lock(mutex_);
    if (keepLog_) log_.push_back(call);
    auto &queued = queued_[call.procedure];
    if (!queued.empty()) {
      auto reply = std::make_shared<const Reply>(std::move(queued.front()));
      queued.pop_front();
      return reply;
    }
    auto standing = standing_.find(call.procedure);
    if (standing == standing_.end()) return std::make_shared<const Reply>(Reply::procUnavail());
    responder = standing->second;
  }
  return responder(call);
}

void ScriptedServer::answerWith(uint32_t procedure,
                                std::function<Reply(const ReceivedCall &)> make) {
  std::lock_guard lock(mutex_);
  standing_[procedure] = [make = std::move(make)](const ReceivedCall &call) {
    return std::make_shared<const Reply>(make(call));
  };
}

void ScriptedServer::answer(uint32_t procedure, Reply reply) {
  std::lock_guard lock(mutex_);
  standing_[procedure] = [shared = std::make_shared<const Reply>(std::move(reply))](
                             const ReceivedCall &) { return shared; };
}

void ScriptedServer::answerOnce(uint32_t procedure, Reply reply) {
  std::lock_guard lock(mutex_);
  queued_[procedure].push_back(std::move(reply));
}

// Answers one call; false ends the connection.
bool ScriptedServer::handle(int fd, const Bytes &record, int id) {
  // xid, message type, RPC version, program, version, procedure, credentials, verifier.
  std::size_t at = 24;
  for (int auth = 0; auth < 2; ++auth) {
    if (at + 8 > record.size()) return false;
    at += 8 + ((std::size_t{wordAt(record, at + 4)} + 3) & ~std::size_t{3});
  }
  if (wordAt(record, 4) != kCall || at > record.size()) return false;
  const ReceivedCall call{wordAt(record, 12), wordAt(record, 16), wordAt(record, 20),
                          Bytes(record.begin() + static_cast<long>(at), record.end()), id};
  const std::shared_ptr<const Reply> reply = nextReply(call);
  const Bytes head = words({wordAt(record, 0), kReply, kAccepted, AUTH_NONE, 0});
  switch (reply->kind) {
    case Reply::Kind::kDrop:
      return false;
    case Reply::Kind::kHang:
      // Keep the connection open, unanswered, until the client gives up or the server stops.
      for (uint8_t ignored; recv(fd, &ignored, 1, 0) > 0;) {
      }
      return false;
    case Reply::Kind::kProcUnavail:
      return writeRecord(fd, concat({head, words({kProcUnavail})}));
    case Reply::Kind::kBody:
      break;
  }
  return writeRecord(fd, concat({head, words({kSuccess})}), reply->bytes);
}

void ScriptedServer::keepLog(bool keep) {
  std::lock_guard lock(mutex_);
  keepLog_ = keep;
}

std::vector<ReceivedCall> ScriptedServer::calls() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<ReceivedCall> ScriptedServer::callsOf(uint32_t procedure) const {
  std::vector<ReceivedCall> matching = calls();
  std::erase_if(matching, [&](const ReceivedCall &call) { return call.procedure != procedure; });
  return matching;
}

void ScriptedServer::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

int ScriptedServer::connectionsAccepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

bool ScriptedServer::waitForOpenConnections(int count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return open_ == count; });
}

}  // namespace qel::test
