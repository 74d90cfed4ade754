// SPDX-License-Identifier: Apache-2.0
#include "tools/http/event_loop.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "tools/http/response_bytes.hpp"

namespace qel::http {
namespace {

using std::chrono::milliseconds;

constexpr std::uint64_t kListenerId = 0, kWakeId = 1;
constexpr std::size_t kReadSize = 64 * 1024;
// Connections taken per wake-up of the listener, so that a flood of them cannot starve the rest.
constexpr int kAcceptBatch = 64;
// After stop(), what the requests in progress get to be answered.
constexpr milliseconds kStopGrace{900};
// After a response the connection is closed on: how long, and how much, the client's last bytes
// are read and dropped, so that the close does not reset the response away before it is read.
constexpr milliseconds kLinger{2000};
constexpr std::size_t kMaxDrained = 1024 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// The first byte of a TLS handshake record.
constexpr unsigned char kTlsHandshake = 0x16;

// The client's address without port; an IPv4 client of an IPv6 socket as plain IPv4.
std::string peerAddress(const sockaddr_storage &address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(address).sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    const in6_addr &v6 = reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
      inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &v6, text, sizeof text);
    }
  }
  return text;
}

}  // namespace

EventLoop::EventLoop(const Limits &limits, Tally &tally, const std::atomic<bool> &stopping)
    : limits_(limits),
      tally_(tally),
      stopping_(stopping),
      epoll_(epoll_create1(EPOLL_CLOEXEC)),
      wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      reserve_(open("/dev/null", O_RDONLY | O_CLOEXEC)),
      buffer_(kReadSize) {}

EventLoop::~EventLoop() {
  connections_.clear();
  for (const int fd : {epoll_, wake_, reserve_}) {
    if (fd >= 0) ::close(fd);
  }
}

void EventLoop::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
}

void EventLoop::giveBack(std::unique_ptr<Connection> connection) {
  {
    const std::lock_guard lock(returnedMutex_);
    if (!ended_) {
      returned_.push_back(std::move(connection));
    }
  }
  // Past the end of run(), the connection closes here, outside the lock.
  connection.reset();
  wake();
}

bool EventLoop::run(int listener, SSL_CTX *tls, WorkerPool &pool) {
  listener_ = listener;
  tls_ = tls;
  pool_ = &pool;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kListenerId;
  bool healthy =
      epoll_ >= 0 && wake_ >= 0 && epoll_ctl(epoll_, EPOLL_CTL_ADD, listener, &event) == 0;
  event.data.u64 = kWakeId;
  healthy = healthy && epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) == 0;
  epoll_event events[128];
  while (healthy) {
    const Clock::time_point now = Clock::now();
    if (stopping_.load() && !stopAt_) beginStop(pool);
    takeReturned();
    if (stopAt_ && (now >= *stopAt_ || (connections_.empty() && pool.running() == 0))) break;
    const int count = epoll_wait(epoll_, events, std::size(events), waitTime(now));
    if (count < 0 && errno != EINTR) healthy = false;
    for (int i = 0; i < count; ++i) {
      const std::uint64_t id = events[i].data.u64;
      if (id == kListenerId) {
        healthy = stopAt_.has_value() || accept();
      } else if (id == kWakeId) {
        std::uint64_t ignored;
        [[maybe_unused]] const auto got = read(wake_, &ignored, sizeof ignored);
      } else {
        onEvent(id);
      }
    }
    takeReturned();
    resumeReady();
    expire(Clock::now());
    sweep();
  }
  {
    const std::lock_guard lock(returnedMutex_);
    ended_ = true;
  }
  pool.quit();
  returned_.clear();
  connections_.clear();
  perClient_.clear();
  deadlines_.clear();
  epoll_ctl(epoll_, EPOLL_CTL_DEL, listener, nullptr);
  return healthy;
}

int EventLoop::waitTime(Clock::time_point now) const {
  if (!ready_.empty()) return 0;
  std::optional<Clock::time_point> next = stopAt_;
  if (!deadlines_.empty() && (!next || deadlines_.begin()->first < *next)) {
    next = deadlines_.begin()->first;
  }
  if (!next) return -1;
  if (*next <= now) return 0;
  // Rounded up, so that a deadline is never looked at just before it passes.
  const auto wait = std::chrono::ceil<milliseconds>(*next - now).count();
  return static_cast<int>(std::min<long long>(wait, INT_MAX));
}

Connection *EventLoop::find(std::uint64_t id) {
  const auto found = connections_.find(id);
  if (found == connections_.end() || found->second->phase == Phase::kClosed) return nullptr;
  return found->second.get();
}

bool EventLoop::accept() {
  for (int taken = 0; taken < kAcceptBatch; ++taken) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr *>(&address), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      admit(fd, peerAddress(address));
      continue;
    }
    switch (errno) {
      case EINTR:
      case ECONNABORTED:
      case EPROTO:
        continue;
      case EMFILE:
      case ENFILE:
        // Out of descriptors: take the waiting connection with the reserve and close it, so
        // that the listener does not stay readable, and the client learns at once.
        if (reserve_ >= 0) {
          ::close(reserve_);
          const int shed = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
          ++tally_.refusedConnections;
          if (shed >= 0) ::close(shed);
          reserve_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
          continue;
        }
        return true;
      case EBADF:
      case EINVAL:
      case ENOTSOCK:
      case EOPNOTSUPP:
        return false;
      default:  // EAGAIN, or the kernel short of memory: the next wake-up tries again
        return true;
    }
  }
  return true;
}

void EventLoop::admit(int fd, std::string peer) {
  ++tally_.connections;
  const auto client = perClient_.find(peer);
  if (tally_.open.load() >= limits_.maxConnections ||
      (client != perClient_.end() && client->second >= limits_.maxConnectionsPerClient)) {
    ++tally_.refusedConnections;
    ::close(fd);
    return;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ++perClient_[peer];
  const std::uint64_t id = nextId_++;
  auto owned = std::make_unique<Connection>(id, fd, tls_, std::move(peer), limits_, tally_.open);
  Connection &connection = *owned;
  connections_.emplace(id, std::move(owned));
  const Clock::time_point now = Clock::now();
  if (tls_ != nullptr) {
    // The handshake counts as part of the first request.
    connection.phase = Phase::kHandshake;
    setDeadline(connection, now + limits_.requestTimeout);
  } else {
    connection.phase = Phase::kIdle;
    setDeadline(connection, now + limits_.idleTimeout);
  }
  watch(connection, EPOLLIN);
}

void EventLoop::onEvent(std::uint64_t id) {
  Connection *connection = find(id);
  if (connection == nullptr) return;
  switch (connection->phase) {
    case Phase::kHandshake:
      return handshake(*connection);
    case Phase::kIdle:
    case Phase::kReading:
      return readFrom(*connection);
    case Phase::kWriting:
      return writeOut(*connection);
    case Phase::kDraining:
      return drain(*connection);
    case Phase::kHandler:
    case Phase::kClosed:
      return;
  }
}

void EventLoop::handshake(Connection &connection) {
  if (!connection.peeked) {
    unsigned char first = 0;
    const ssize_t got = recv(connection.stream.fd(), &first, 1, MSG_PEEK);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return watch(connection, EPOLLIN);
    if (got <= 0) return close(connection);
    connection.peeked = true;
    if (first != kTlsHandshake) {
      connection.stream.dropTls();
      return answer(
          connection,
          refusalBytes(400, "this port speaks HTTPS (TLS); plain HTTP is not served", Framing{}),
          true);
    }
  }
  const Io io = connection.stream.handshake();
  if (io.status == IoStatus::kEnd) return close(connection);
  if (io.status != IoStatus::kDone) return watchFor(connection, io.status);
  connection.phase = Phase::kIdle;
  setDeadline(connection, Clock::now() + limits_.idleTimeout);
  readFrom(connection);
}

void EventLoop::readFrom(Connection &connection) {
  for (;;) {
    const Io io = connection.stream.read(buffer_.data(), buffer_.size());
    if (io.status == IoStatus::kEnd) return close(connection);
    if (io.status != IoStatus::kDone) return watchFor(connection, io.status);
    if (!feed(connection, std::string_view(buffer_.data(), io.bytes))) return;
  }
}

bool EventLoop::feed(Connection &connection, std::string_view bytes) {
  if (!connection.parser.started()) {
    // The deadline runs from the request's first byte; later bytes never move it.
    connection.phase = Phase::kReading;
    setDeadline(connection, Clock::now() + limits_.requestTimeout);
  }
  const std::size_t used = connection.parser.consume(bytes);
  if (const auto &refusal = connection.parser.refusal()) {
    answer(connection, refusalBytes(refusal->status, refusal->reason, Framing{}), true);
    return false;
  }
  if (connection.parser.complete()) {
    connection.pending.assign(bytes.substr(used));
    dispatch(connection);
    return false;
  }
  if (connection.parser.awaitsContinue() && !connection.continued) {
    connection.continued = true;
    // The client waits for this before it sends more, so the socket has room: a client that
    // has not left room for a few bytes is not reading at all.
    const Io io = connection.stream.write(kContinue);
    if (io.status != IoStatus::kDone || io.bytes != kContinue.size()) {
      close(connection);
      return false;
    }
  }
  return true;
}

void EventLoop::dispatch(Connection &connection) {
  connection.request = std::move(connection.parser.request());
  connection.request.peer = connection.peer;
  connection.request.secure = connection.stream.secure();
  connection.keepAlive = connection.parser.keepAlive();
  connection.http10 = connection.parser.http10();
  connection.parser.reset();
  connection.continued = false;
  const Framing framing{connection.request.method == "HEAD", connection.keepAlive,
                        connection.http10};
  if (stopAt_) {
    return answer(connection, refusalBytes(503, "the server is stopping", {framing.head}), true);
  }
  watch(connection, 0);
  clearDeadline(connection);
  connection.phase = Phase::kHandler;
  auto node = connections_.extract(connection.id);
  if (pool_->offer(node.mapped())) return;
  // Every worker busy and the queue full: answered here, the connection kept.
  Connection &refused = *node.mapped();
  connections_.insert(std::move(node));
  const auto retry = static_cast<int>(limits_.retryAfter.count());
  answer(refused, refusalBytes(503, "the server is busy; try again shortly", framing, retry),
         !framing.keepAlive);
}

void EventLoop::answer(Connection &connection, std::string bytes, bool close) {
  ++tally_.rejected;
  connection.request = Request{};
  connection.out = std::move(bytes);
  connection.sent = 0;
  connection.closeAfterWrite = close;
  startWriting(connection);
}

void EventLoop::startWriting(Connection &connection) {
  connection.phase = Phase::kWriting;
  setDeadline(connection, Clock::now() + limits_.writeTimeout);
  writeOut(connection);
}

void EventLoop::writeOut(Connection &connection) {
  const Io io = connection.flush();
  if (io.status == IoStatus::kEnd) return close(connection);
  if (io.status != IoStatus::kDone) return watchFor(connection, io.status);
  afterResponse(connection);
}

void EventLoop::afterResponse(Connection &connection) {
  if (connection.closeAfterWrite || stopAt_) return startDraining(connection);
  // The next request is read in this round's end, so that a run of pipelined requests is
  // taken one at a time rather than by recursion.
  connection.phase = Phase::kIdle;
  watch(connection, 0);
  setDeadline(connection, Clock::now() + limits_.idleTimeout);
  ready_.push_back(connection.id);
}

void EventLoop::resume(Connection &connection) {
  if (!connection.pending.empty()) {
    const std::string bytes = std::move(connection.pending);
    connection.pending.clear();
    if (!feed(connection, bytes)) return;
  }
  // Also when nothing is pending: TLS may hold bytes already read off the socket.
  readFrom(connection);
}

void EventLoop::resumeReady() {
  std::vector<std::uint64_t> ready;
  ready.swap(ready_);
  for (const std::uint64_t id : ready) {
    Connection *connection = find(id);
    if (connection != nullptr && connection->phase == Phase::kIdle) resume(*connection);
  }
}

void EventLoop::startDraining(Connection &connection) {
  connection.stream.finish();
  connection.phase = Phase::kDraining;
  connection.drained = 0;
  setDeadline(connection, Clock::now() + kLinger);
  drain(connection);
}

void EventLoop::drain(Connection &connection) {
  for (;;) {
    const ssize_t got = recv(connection.stream.fd(), buffer_.data(), buffer_.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return watch(connection, EPOLLIN);
    connection.drained += got > 0 ? static_cast<std::size_t>(got) : 0;
    if (got <= 0 || connection.drained > kMaxDrained) return close(connection);
  }
}

void EventLoop::close(Connection &connection) {
  if (connection.phase == Phase::kClosed) return;
  watch(connection, 0);
  clearDeadline(connection);
  connection.phase = Phase::kClosed;
  const auto client = perClient_.find(connection.peer);
  if (client != perClient_.end() && --client->second == 0) perClient_.erase(client);
  closed_.push_back(connection.id);
}

void EventLoop::sweep() {
  for (const std::uint64_t id : closed_) connections_.erase(id);
  closed_.clear();
}

void EventLoop::watch(Connection &connection, std::uint32_t events) {
  if (events == connection.events) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = connection.id;
  const int operation = connection.events == 0 ? EPOLL_CTL_ADD
                        : events == 0          ? EPOLL_CTL_DEL
                                               : EPOLL_CTL_MOD;
  if (epoll_ctl(epoll_, operation, connection.stream.fd(), &event) != 0 && events != 0) {
    connection.events = 0;
    return close(connection);
  }
  connection.events = events;
}

void EventLoop::watchFor(Connection &connection, IoStatus wanted) {
  watch(connection, wanted == IoStatus::kWantWrite ? EPOLLOUT : EPOLLIN);
}

void EventLoop::setDeadline(Connection &connection, Clock::time_point at) {
  clearDeadline(connection);
  if (stopAt_ && at > *stopAt_) at = *stopAt_;
  connection.deadline = at;
  deadlines_.emplace(at, connection.id);
}

void EventLoop::clearDeadline(Connection &connection) {
  if (connection.deadline) deadlines_.erase({*connection.deadline, connection.id});
  connection.deadline.reset();
}

void EventLoop::expire(Clock::time_point now) {
  while (!deadlines_.empty() && deadlines_.begin()->first <= now) {
    const std::uint64_t id = deadlines_.begin()->second;
    deadlines_.erase(deadlines_.begin());
    Connection *connection = find(id);
    if (connection == nullptr) continue;
    connection->deadline.reset();
    if (connection->phase != Phase::kReading || stopAt_) {
      close(*connection);
      continue;
    }
    // A request not complete in time is told so, in one write: the client may not be reading.
    ++tally_.rejected;
    connection->out = refusalBytes(408, "the request did not arrive in time", Framing{});
    connection->sent = 0;
    connection->flush();
    startDraining(*connection);
  }
}

void EventLoop::takeReturned() {
  std::vector<std::unique_ptr<Connection>> returned;
  {
    const std::lock_guard lock(returnedMutex_);
    returned.swap(returned_);
  }
  for (auto &owned : returned) {
    Connection &connection = *owned;
    connections_.emplace(connection.id, std::move(owned));
    if (connection.lastIo == IoStatus::kEnd) {
      close(connection);
    } else if (connection.lastIo == IoStatus::kDone) {
      afterResponse(connection);
    } else {
      connection.phase = Phase::kWriting;
      setDeadline(connection, Clock::now() + limits_.writeTimeout);
      watchFor(connection, connection.lastIo);
    }
  }
}

void EventLoop::beginStop(WorkerPool &pool) {
  stopAt_ = Clock::now() + kStopGrace;
  epoll_ctl(epoll_, EPOLL_CTL_DEL, listener_, nullptr);
  for (auto &[id, connection] : connections_) {
    if (connection->phase == Phase::kWriting || connection->phase == Phase::kDraining) {
      setDeadline(*connection, *stopAt_);
    } else {
      close(*connection);
    }
  }
  for (auto &owned : pool.takeWaiting()) {
    Connection &connection = *owned;
    connections_.emplace(connection.id, std::move(owned));
    const Framing framing{connection.request.method == "HEAD", false, false};
    answer(connection, refusalBytes(503, "the server is stopping", framing), true);
  }
  sweep();
}

}  // namespace qel::http
