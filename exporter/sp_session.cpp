// SPDX-License-Identifier: Apache-2.0
#include "exporter/sp_session.hpp"

#include <pthread.h>
#include <qel.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace qel::exporter {
namespace {

// A call that gets no reply gives up after this long unless told otherwise: no shorter bound
// than the scrape's is needed, and no longer one is ever wanted.
constexpr auto kLongestCall = std::chrono::seconds(25);

std::mutex creationLock;
// qelConnect remembers the host text by reference, for every thread. Creations copy their host
// here under creationLock, so that what the library remembers is always this one buffer, valid
// for the life of the process, whichever worker has ended since. Hosts are at most 253 bytes.
char rememberedHost[256];

// The handle keeps its timeout on the socket, and changing it costs a system call: the time left
// is taken in whole tenths of a second while there are any, so that the calls of one collector
// mostly find the handle's setting as it is.
constexpr auto kStep = std::chrono::milliseconds(100);

std::chrono::microseconds waitFor(Clock::duration left) {
  const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(
      std::min<Clock::duration>(left, kLongestCall));
  return wait < kStep ? wait : std::chrono::microseconds(kStep * (wait / kStep));
}

}  // namespace

unsigned SpSession::prepare() {
  const Clock::duration left = deadline_ - Clock::now();
  unreachable_ = false;
  if (left <= Clock::duration::zero()) return RESULT_CALL_FAILED;
  unsigned code;
  if (keyMade_ && pthread_getspecific(qel_tsd_key) != nullptr) {
    // The thread has its handle: qelConnect returns at once and remembers nothing, so it needs
    // no lock, and a slow creation for another target holds nobody up here.
    code = qelConnect(target_.host.c_str(), target_.program);
  } else {
    // Between remembering the host and program and creating the client from them, no other
    // worker may remember its own.
    std::lock_guard lock(creationLock);
    std::strncpy(rememberedHost, target_.host.c_str(), sizeof rememberedHost - 1);
    code = qelConnect(rememberedHost, target_.program);
    timeout_.reset();  // a new handle has the library's own
  }
  unreachable_ = code != RESULT_OK;
  if (unreachable_) return code;
  keyMade_ = true;
  // The library honours a timeout set on the thread's handle for every later call; the handle
  // is reached through the library's thread key.
  auto *handle = static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key));
  const std::chrono::microseconds wait = waitFor(left);
  if (timeout_ != wait) {
    timeval value{static_cast<time_t>(wait.count() / 1000000),
                  static_cast<suseconds_t>(wait.count() % 1000000)};
    clnt_control(handle, CLSET_TIMEOUT, reinterpret_cast<char *>(&value));
    timeout_ = wait;
  }
  return RESULT_OK;
}

}  // namespace qel::exporter
