// SPDX-License-Identifier: Apache-2.0
// Keeps a SIGPIPE raised by a write on a dropped connection from reaching the host program.
#pragma once

#include <signal.h>

#include <ctime>

namespace qel {

// Holds SIGPIPE blocked for the calling thread while alive. swallowPending() takes back a
// SIGPIPE raised meanwhile, unless the host had SIGPIPE blocked itself (a pending one may then
// be its own and stays).
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
  }
  SigpipeGuard(const SigpipeGuard &) = delete;
  SigpipeGuard &operator=(const SigpipeGuard &) = delete;
  // A caller that blocks SIGPIPE itself already has the mask this guard set: nothing to undo.
  ~SigpipeGuard() {
    if (!sigismember(&saved_, SIGPIPE)) pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }

  void swallowPending() {
    if (sigismember(&saved_, SIGPIPE)) return;
    sigset_t pending;
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
      const timespec zero{0, 0};
      sigtimedwait(&pipe_, nullptr, &zero);
    }
  }

 private:
  sigset_t pipe_;
  sigset_t saved_;
};

}  // namespace qel
