// SPDX-License-Identifier: Apache-2.0
#include "exporter/sp_session.hpp"

#include <pthread.h>
#include <qel.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "exporter/target_check.hpp"
#include "lib/protocol/procedures.hpp"
#include "tools/handle_wait.hpp"
#include "tools/result_names.hpp"

namespace qel::exporter {
namespace {

// A call that gets no reply gives up after this long unless told otherwise: no shorter bound
// than the scrape's is needed, and no longer one is ever wanted.
constexpr auto kLongestCall = std::chrono::seconds(25);

// The exporter's connection lock, which the library takes around every creation. A worker takes
// it first, waiting no longer than its scrape allows, and holds it from remembering its host to
// the end of the creation; the library's own taking of it then nests. (A mutex and a condition
// rather than a recursive timed mutex, whose timed wait ThreadSanitizer cannot follow.)
class CreationLock {
 public:
  bool lockUntil(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (owner_ == std::this_thread::get_id()) {
      ++depth_;
      return true;
    }
    if (!freed_.wait_until(lock, deadline, [this] { return depth_ == 0; })) return false;
    owner_ = std::this_thread::get_id();
    depth_ = 1;
    return true;
  }
  void lock() {
    while (!lockUntil(Clock::now() + std::chrono::hours(1))) {
    }
  }
  void unlock() {
    {
      std::lock_guard lock(mutex_);
      if (--depth_ == 0) owner_ = {};
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::thread::id owner_;
  unsigned depth_ = 0;
};
CreationLock creationLock;
// qelConnect remembers the host text by reference, for every thread. Creations copy their host
// here under creationLock, so that what the library remembers is always this one buffer, valid
// for the life of the process, whichever worker has ended since. Hosts are at most 253 bytes.
char rememberedHost[256];

// How long a target whose check timed out `timeouts` times in a row is left alone.
Clock::duration backOff(unsigned timeouts) {
  constexpr auto kFirst = std::chrono::seconds(5), kLongest = std::chrono::seconds(60);
  return std::min<Clock::duration>(kLongest, kFirst * (1u << std::min(timeouts - 1, 4u)));
}

long wholeSeconds(Clock::duration d) {
  return static_cast<long>(std::chrono::ceil<std::chrono::seconds>(d).count());
}

// Whether the server has closed the connection under `handle` since the last call (it
// restarted, or dropped idle clients): then the first call of the next scrape would fail.
bool closedByServer(CLIENT *handle) {
  int fd = -1;
  if (!clnt_control(handle, CLGET_FD, reinterpret_cast<char *>(&fd)) || fd < 0) return false;
  char byte;
  const ssize_t n = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

}  // namespace

bool SpSession::hasHandle() const {
  return keyMade_ && pthread_getspecific(qel_tsd_key) != nullptr;
}

unsigned SpSession::open(Clock::time_point deadline) {
  if (hasHandle() && closedByServer(static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)))) {
    qelDisconnect();
  }
  const unsigned code = hasHandle() ? RESULT_OK : connect(deadline);
  unreachable_ = code != RESULT_OK;
  return code;
}

unsigned SpSession::prepare() {
  unreachable_ = false;
  if (deadline_ <= Clock::now()) return RESULT_CALL_FAILED;
  // With its handle, qelConnect returns at once and remembers nothing, so it needs no lock, and
  // a creation for another target holds nobody up here. Without, the call would connect with
  // whatever was remembered last: this thread connects first.
  const unsigned code =
      hasHandle() ? qelConnect(target_.host.c_str(), target_.program) : connect(deadline_);
  unreachable_ = code != RESULT_OK;
  if (unreachable_) return code;
  const Clock::duration left = deadline_ - Clock::now();
  if (left <= Clock::duration::zero()) return RESULT_CALL_FAILED;
  tools::setHandleWait(std::chrono::duration_cast<std::chrono::microseconds>(
      std::min<Clock::duration>(left, kLongestCall)));
  return RESULT_OK;
}

unsigned SpSession::connect(Clock::time_point deadline) {
  const Clock::time_point now = Clock::now();
  if (now < retryAfter_) {
    cause_ = "not tried again for " + std::to_string(wholeSeconds(retryAfter_ - now)) +
             " s after " + std::to_string(timeouts_) + " timed-out attempts; last: " + lastCause_;
    return RESULT_NOT_CONNECTED;
  }
  const TargetCheck check = checkTarget(target_.host, target_.program, proc::kVersion, deadline);
  if (!check.reachable) {
    timeouts_ = check.timedOut ? timeouts_ + 1 : 0;
    if (check.timedOut) retryAfter_ = Clock::now() + backOff(timeouts_);
    cause_ = lastCause_ = check.cause;
    return RESULT_NOT_CONNECTED;
  }
  timeouts_ = 0;
  // Between remembering the host and program and creating the client from them, no other
  // worker may remember its own.
  if (!creationLock.lockUntil(deadline)) {
    cause_ = "another target's connection was still being made at the scrape's deadline";
    return RESULT_NOT_CONNECTED;
  }
  const std::unique_lock lock(creationLock, std::adopt_lock);
  std::strncpy(rememberedHost, check.address.c_str(), sizeof rememberedHost - 1);
  const unsigned code = qelConnect(rememberedHost, target_.program);
  if (code != RESULT_OK) {
    cause_ = "connecting to " + check.address + ": " + tools::describeResult(code);
  } else {
    keyMade_ = true;
  }
  return code;
}

}  // namespace qel::exporter

// The library's connection lock, provided by the exporter (instead of the default one of
// qel_host) so that a worker can give up waiting for it. errno is kept across both.
void lockSharedRPCConnectionMutex(void) {
  const int saved = errno;
  qel::exporter::creationLock.lock();
  errno = saved;
}

void unlockSharedRPCConnectionMutex(void) {
  const int saved = errno;
  qel::exporter::creationLock.unlock();
  errno = saved;
}
