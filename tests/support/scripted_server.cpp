#include "scripted_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <stdexcept>

namespace qel::test {
namespace {

constexpr uint32_t kLastFragment = 0x80000000u;
constexpr uint32_t kCall = 0;
constexpr uint32_t kReply = 1;
constexpr uint32_t kAccepted = 0;
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kProcUnavail = 3;
constexpr uint32_t kGarbageArgs = 4;

bool readAll(int fd, uint8_t *data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One record of the record-marking standard: fragments until the last one.
bool readRecord(int fd, Bytes &record) {
  record.clear();
  for (;;) {
    uint8_t mark[4];
    if (!readAll(fd, mark, 4)) return false;
    const uint32_t header =
        (uint32_t{mark[0]} << 24) | (uint32_t{mark[1]} << 16) | (uint32_t{mark[2]} << 8) | mark[3];
    const std::size_t length = header & ~kLastFragment;
    const std::size_t start = record.size();
    record.resize(start + length);
    if (length > 0 && !readAll(fd, record.data() + start, length)) return false;
    if (header & kLastFragment) return true;
  }
}

// Sends a record made of `head` then `tail` in one fragment, gathered straight from both:
// a large scripted result is not copied on its way out.
bool writeRecord(int fd, const Bytes &head, const Bytes &tail = {}) {
  const uint32_t mark = htonl(kLastFragment | static_cast<uint32_t>(head.size() + tail.size()));
  iovec parts[] = {{const_cast<uint32_t *>(&mark), sizeof mark},
                   {const_cast<uint8_t *>(head.data()), head.size()},
                   {const_cast<uint8_t *>(tail.data()), tail.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = 3;
  while (message.msg_iovlen > 0) {
    ssize_t sent = sendmsg(fd, &message, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    while (message.msg_iovlen > 0 && static_cast<std::size_t>(sent) >= message.msg_iov->iov_len) {
      sent -= static_cast<ssize_t>(message.msg_iov->iov_len);
      ++message.msg_iov;
      --message.msg_iovlen;
    }
    if (message.msg_iovlen > 0) {
      message.msg_iov->iov_base = static_cast<uint8_t *>(message.msg_iov->iov_base) + sent;
      message.msg_iov->iov_len -= static_cast<std::size_t>(sent);
    }
  }
  return true;
}

class Reader {
 public:
  explicit Reader(const Bytes &bytes) : bytes_(bytes) {}
  bool word(uint32_t &out) {
    if (pos_ + 4 > bytes_.size()) return false;
    out = (uint32_t{bytes_[pos_]} << 24) | (uint32_t{bytes_[pos_ + 1]} << 16) |
          (uint32_t{bytes_[pos_ + 2]} << 8) | bytes_[pos_ + 3];
    pos_ += 4;
    return true;
  }
  bool skipOpaqueAuth() {
    uint32_t flavor, length;
    if (!word(flavor) || !word(length)) return false;
    const std::size_t padded = (length + 3u) & ~3u;
    if (pos_ + padded > bytes_.size()) return false;
    pos_ += padded;
    return true;
  }
  Bytes rest() const { return Bytes(bytes_.begin() + static_cast<long>(pos_), bytes_.end()); }

 private:
  const Bytes &bytes_;
  std::size_t pos_ = 0;
};

uint32_t unusedProgramNumber() {
  std::random_device seed;
  std::mt19937 generator(seed());
  std::uniform_int_distribution<uint32_t> transient(0x40000000u, 0x5FFFFFFFu);
  for (;;) {
    const uint32_t candidate = transient(generator);
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (pmap_getport(&loopback, candidate, 1, IPPROTO_TCP) == 0) return candidate;
  }
}

}  // namespace

ScriptedServer::ScriptedServer() : ScriptedServer(unusedProgramNumber()) {}

ScriptedServer::ScriptedServer(uint32_t program) : program_(program) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
    reapFinishedWorkers();
    const int id = ++accepted_;
    ++open_;
    connectionFds_.push_back(fd);
    Worker &worker = workers_.emplace_back();
    worker.thread = std::thread([this, fd, id, &worker] { serve(fd, id, worker); });
  }
}

// Called with mutex_ held. A worker marks itself finished as its last step under the lock, so
// joining it here waits only for its thread to return.
void ScriptedServer::reapFinishedWorkers() {
  workers_.remove_if([](Worker &worker) {
    if (!worker.finished) return false;
    worker.thread.join();
    return true;
  });
}

void ScriptedServer::serve(int fd, int id, Worker &self) {
  Bytes record;
  while (readRecord(fd, record) && handle(fd, record, id)) {
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
    auto queued = queued_.find(call.procedure);
    if (queued != queued_.end() && !queued->second.empty()) {
      auto reply = std::make_shared<const Reply>(std::move(queued->second.front()));
      queued->second.pop_front();
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

// The same reply object serves every call: nothing is copied per call.
void ScriptedServer::answer(uint32_t procedure, Reply reply) {
  std::lock_guard lock(mutex_);
  standing_[procedure] = [shared = std::make_shared<const Reply>(std::move(reply))](
                             const ReceivedCall &) { return shared; };
}

// Answers one call; false ends the connection.
bool ScriptedServer::handle(int fd, const Bytes &record, int id) {
  Reader reader(record);
  uint32_t xid, type, rpcVersion;
  ReceivedCall call;
  call.connection = id;
  if (!reader.word(xid) || !reader.word(type) || type != kCall || !reader.word(rpcVersion) ||
      !reader.word(call.program) || !reader.word(call.version) || !reader.word(call.procedure) ||
      !reader.skipOpaqueAuth() || !reader.skipOpaqueAuth()) {
    return false;
  }
  call.arguments = reader.rest();
  const std::shared_ptr<const Reply> next = nextReply(call);
  const Reply &reply = *next;
  {
    std::lock_guard lock(mutex_);
    if (keepLog_) log_.push_back(call);
  }

  Bytes message = words({xid, kReply});
  const Bytes acceptedHeader = words({kAccepted, AUTH_NONE, 0});
  switch (reply.kind) {
    case Reply::Kind::kDrop:
      return false;
    case Reply::Kind::kHang: {
      // Keep the connection open, unanswered, until the client gives up or the server stops.
      uint8_t ignored;
      while (recv(fd, &ignored, 1, 0) > 0) {
      }
      return false;
    }
    case Reply::Kind::kProcUnavail:
    case Reply::Kind::kGarbageArgs:
      message =
          concat({message, acceptedHeader,
                  words({reply.kind == Reply::Kind::kProcUnavail ? kProcUnavail : kGarbageArgs})});
      break;
    case Reply::Kind::kBody:
      return writeRecord(fd, concat({message, acceptedHeader, words({kSuccess})}), reply.bytes);
  }
  return writeRecord(fd, message);
}

void ScriptedServer::answerOnce(uint32_t procedure, Reply reply) {
  std::lock_guard lock(mutex_);
  queued_[procedure].push_back(std::move(reply));
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
  std::lock_guard lock(mutex_);
  std::vector<ReceivedCall> matching;
  for (const ReceivedCall &call : log_) {
    if (call.procedure == procedure) matching.push_back(call);
  }
  return matching;
}

std::size_t ScriptedServer::callCount() const {
  std::lock_guard lock(mutex_);
  return log_.size();
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
