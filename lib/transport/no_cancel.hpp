// SPDX-License-Identifier: Apache-2.0
// Where a thread of the host may be cancelled. The library acts on a cancellation only while it
// waits on the network (a connect, the port mapper's answer, a call's send and reply), where its
// destructors release what it holds: the host's connection lock, sockets, a reply decoded in
// part. Everywhere else (every entry into the RPC layer, whose locks know nothing of
// cancellation, name resolution, closing a descriptor) a cancellation waits for the next wait
// or the return.
#pragma once

#include <pthread.h>

namespace qel {

// Holds cancellation off for the calling thread while alive.
class NoCancel {
 public:
  NoCancel() { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &saved_); }
  ~NoCancel() { pthread_setcancelstate(saved_, nullptr); }
  NoCancel(const NoCancel &) = delete;
  NoCancel &operator=(const NoCancel &) = delete;

 private:
  int saved_ = PTHREAD_CANCEL_ENABLE;
};

}  // namespace qel
