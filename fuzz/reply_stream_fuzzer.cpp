// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as the server's side of a connection, read by a real operation of the
// catalogue through the library's own handle over an in-process socket pair: the first byte
// picks the operation, the rest is everything the server sends (record marks, replies to this
// call or others, accepted or refused) before it closes the connection. No port mapper, no
// server, no exchange of its own per input. Whatever comes back, the operation returns without
// crashing or leaking, and:
// - a dropped handle means no reply was taken: the result is the missing reply's and no output
//   was written;
// - a kept handle (and any result of the stop operation but the missing reply's) means a reply
//   was taken, which needs a complete record in the stream that accepts one of the operation's
//   calls with success.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "lib/transport/call_path.hpp"
#include "operations.hpp"
#include "reply_records.hpp"

namespace {

// The first call's transaction id; a second call of the same operation counts down from it.
constexpr uint32_t kXid = 0x5EED0001;
constexpr timeval kWait{1, 0};
constexpr u_int kBufferSize = 512;

CLIENT *slot() { return static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)); }

// A handle of the library's own over a new socket pair, in the calling thread's slot: the
// server's end, or -1.
int connectThread() {
  pthread_once(&qel_key_once, qel_once_routine);
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
  // Small stream buffers: each input has a handle of its own, and the stream refills more often.
  CLIENT *clnt = qel::handleOver(ends[0], sockaddr_in{}, 0x40000123, 1, kBufferSize);
  if (clnt == nullptr) {
    close(ends[1]);
    return -1;
  }
  uint32_t xid = kXid;
  timeval wait = kWait;
  clnt_control(clnt, CLSET_XID, reinterpret_cast<char *>(&xid));
  clnt_control(clnt, CLSET_TIMEOUT, reinterpret_cast<char *>(&wait));
  pthread_setspecific(qel_tsd_key, clnt);
  return ends[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using qel::test::Convention;
  if (size == 0) return 0;
  const auto &operations = qel::test::operations();
  const qel::test::Operation &op = operations[data[0] % operations.size()];
  const int server = connectThread();
  if (server < 0) std::abort();
  // Everything the server says, then the end of its side: the socket's buffer holds it all.
  for (size_t at = 1; at < size;) {
    const ssize_t sent = send(server, data + at, size - at, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent <= 0) break;
    at += static_cast<size_t>(sent);
  }
  shutdown(server, SHUT_WR);

  qel::test::Outputs out;
  const unsigned int result = op.call(out);
  const bool dropped = slot() == nullptr;
  qelDisconnect();
  close(server);
  const unsigned int missingReply = op.convention == Convention::kQuietStatus ? 0 : 2;
  const bool replied = op.convention == Convention::kStop ? result != missingReply : !dropped;
  if (dropped && op.convention != Convention::kStop &&
      (result != missingReply || !out.untouched())) {
    std::abort();
  }
  if (!replied) return 0;
  // Operations that make two calls go on after the first failed; one of them was answered.
  for (uint32_t call = 0; call < op.procedures.size(); ++call) {
    if (!qel::fuzz::acceptedResults(data + 1, size - 1, kXid - call).empty()) return 0;
  }
  std::abort();
}
