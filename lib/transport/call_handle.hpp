// SPDX-License-Identifier: Apache-2.0
// The library's own handle: what a call on it keeps between the stubs, its stream and its
// socket. Shared by the call (lib/transport/call_path.cpp) and the stream's input and output
// within the call's one deadline (lib/transport/call_io.cpp). The port mapper lookup of a
// client creation is a call on such a handle too, over the port mapper's connection.
#pragma once

#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>

#include "lib/transport/handle_calls.hpp"
#include "qel.h"

namespace qel::callpath {

using std::chrono::steady_clock;

// The call header: transaction id, CALL, RPC version 2, program, version, procedure, and the
// null credential and verifier (flavour 0, no body), in network order. The handles the library
// creates carry no credentials.
enum HeaderWord { kXid, kDirection, kRpcVersion, kProgram, kVersion, kProcedure, kWords = 10 };

// The descriptor's receive timeout for a wait of `ms`: seven eighths of it, since the kernel may
// fire a long one up to an eighth late; 0 (none) for a wait without end.
inline int socketWaitFor(int64_t ms) {
  if (ms < 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(ms - ms / 8, 1, std::numeric_limits<int>::max()));
}

struct Handle {
  CLIENT client{};  // what the stubs and the thread's slot see
  // The RPC layer's client, where it made the connection (clnt_create): the descriptor, its
  // address and its destruction are then its own. Null where the library connected itself.
  CLIENT *tcp = nullptr;
  int fd = -1;
  // Where the library connected itself: the server's address, and whether destruction closes
  // the descriptor.
  sockaddr_in server{};
  netbuf serverAddress{sizeof server, sizeof server, &server};
  bool closesFd = true;
  pid_t process = 0;  // the process the handle was created in
  XDR stream{};
  uint32_t header[kWords]{};
  timeval wait = kCallTimeout;
  bool waitSet = false;
  int socketWaitMs = 0;  // the descriptor's receive timeout; 0: none
  // The end of the current call's wait, fixed when it starts sending; none for a negative wait.
  std::optional<steady_clock::time_point> deadline;
  // A request went out in part, or not at all after the stream took it: the connection is out
  // of step with the server, and every later call fails at once.
  bool broken = false;
  // The stream stands at the start of a record (the last reply was read to its record's end):
  // the next read begins there instead of passing over the rest of a record first.
  bool atRecordStart = false;
  rpc_err error{};

  Handle() = default;
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;

  static Handle &of(CLIENT *c) { return *static_cast<Handle *>(c->cl_private); }
  uint32_t word(HeaderWord w) const { return ntohl(header[w]); }
  void setWord(HeaderWord w, uint32_t value) { header[w] = htonl(value); }

  // Milliseconds left of the call's wait, rounded up; -1 when it has no end.
  int msLeft() const {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, std::numeric_limits<int>::max()));
  }
  void fail(clnt_stat status, int cause) {
    error.re_status = status;
    error.re_errno = cause;
  }
};

// The stream's input and output for the handle passed as its private part: within what is left
// of the call's wait, failing with the handle's error set.
int readSome(void *handle, void *buffer, int length);
int writeAll(void *handle, void *buffer, int length);

// Makes `ms` the descriptor's own receive timeout, unless it already is.
bool timeoutOnSocket(Handle &h, int ms);

}  // namespace qel::callpath
