// SPDX-License-Identifier: Apache-2.0
// The own call path's input and output: every wait within what is left of the call's one
// deadline, so that neither a signal nor a slow server lengthens it.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "lib/transport/call_handle.hpp"

namespace qel::callpath {
namespace {

// Waits until the descriptor is ready for `events`, within what is left of the call's wait. A
// signal does not start the wait over: it goes on with what is left.
bool waitFor(Handle &h, short events, clnt_stat onError) {
  pollfd ready{h.fd, events, 0};
  for (;;) {
    const int ms = h.msLeft();
    if (ms == 0) {
      h.fail(RPC_TIMEDOUT, 0);
      return false;
    }
    const int n = poll(&ready, 1, ms);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) {
      h.fail(onError, errno);
      return false;
    }
  }
}

}  // namespace

// Makes `ms` the descriptor's own receive timeout, unless it already is.
bool timeoutOnSocket(Handle &h, int ms) {
  if (h.socketWaitMs == ms) return true;
  const timeval wait{ms / 1000, (ms % 1000) * 1000};
  if (setsockopt(h.fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
    h.fail(RPC_CANTRECV, errno);
    return false;
  }
  h.socketWaitMs = ms;
  return true;
}

// Fills the stream's input within what is left of the call's wait. A read that blocks on the
// descriptor's receive timeout is one system call when the reply is there or comes in time; it
// is made only while that timeout, fired an eighth late, still ends within the wait. Otherwise
// (near the end, after a signal or the socket's timeout) the rest is polled for exactly.
int readSome(void *handle, void *buffer, int length) {
  Handle &h = *static_cast<Handle *>(handle);
  if (length == 0) return 0;
  for (;;) {
    const int left = h.msLeft();
    const int64_t socketFiresBy = int64_t{h.socketWaitMs} + h.socketWaitMs / 8 + 1;
    if (left >= 0 && left < socketFiresBy && !waitFor(h, POLLIN, RPC_CANTRECV)) return -1;
    const ssize_t got = read(h.fd, buffer, static_cast<size_t>(length));
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // An end of stream cuts the reply short.
    h.fail(RPC_CANTRECV, got == 0 ? ECONNRESET : errno);
    return -1;
  }
}

// Drains the stream's output within what is left of the call's wait: a server that stops
// reading fails the call at its time instead of blocking it for ever. MSG_NOSIGNAL: a server
// that has gone fails the call with EPIPE instead of raising SIGPIPE in the host.
int writeAll(void *handle, void *buffer, int length) {
  Handle &h = *static_cast<Handle *>(handle);
  const char *next = static_cast<const char *>(buffer);
  for (int left = length; left > 0;) {
    const ssize_t sent = send(h.fd, next, static_cast<size_t>(left), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
      next += sent;
      left -= static_cast<int>(sent);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (waitFor(h, POLLOUT, RPC_CANTSEND)) continue;
    } else {
      h.fail(RPC_CANTSEND, errno);
    }
    h.broken = true;
    return -1;
  }
  return length;
}

}  // namespace qel::callpath
