// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as a port mapper's side of a creation's lookup, over an in-process socket
// pair: everything the port mapper sends before it closes the connection. The lookup returns
// without crashing or leaking, and a port only when the stream holds a complete record that
// accepts the lookup's call with success and carries that port (a number that fits a port).
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "lib/transport/call_path.hpp"
#include "reply_records.hpp"

namespace {

constexpr uint32_t kXid = 0x10C0FFEE;

uint32_t wordAt(const qel::test::Bytes &bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
  for (size_t at = 0; at < size;) {
    const ssize_t sent = send(ends[1], data + at, size - at, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent <= 0) break;
    at += static_cast<size_t>(sent);
  }
  shutdown(ends[1], SHUT_WR);
  unsigned short port = 0;
  rpc_err error{};
  const clnt_stat status =
      qel::askPortMapper(ends[0], pmap{0x40000123, 1, IPPROTO_TCP, 0}, kXid,
                         std::chrono::steady_clock::now() + std::chrono::seconds(1), port, error);
  close(ends[0]);
  close(ends[1]);
  if (status != RPC_SUCCESS) {
    if (port != 0 || error.re_status != status) std::abort();
    return 0;
  }
  for (const qel::test::Bytes &results : qel::fuzz::acceptedResults(data, size, kXid)) {
    if (results.size() >= 4 && wordAt(results) == port) return 0;
  }
  std::abort();
}
