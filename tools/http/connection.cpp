// SPDX-License-Identifier: Apache-2.0
#include "tools/http/connection.hpp"

namespace qel::http {

Connection::Connection(std::uint64_t id, int fd, SSL_CTX *tls, std::string peer,
                       const Limits &limits, std::atomic<std::size_t> &open)
    : id(id), stream(fd, tls), peer(std::move(peer)), parser(limits), open_(open) {
  ++open_;
}

Connection::~Connection() { --open_; }

Io Connection::flush() {
  while (sent < out.size()) {
    const Io io = stream.write(std::string_view(out).substr(sent));
    if (io.status != IoStatus::kDone) return io;
    sent += io.bytes;
  }
  out.clear();
  sent = 0;
  return {IoStatus::kDone, 0};
}

}  // namespace qel::http
