// SPDX-License-Identifier: Apache-2.0
// A connection's bytes over its non-blocking socket, plain or through TLS (OpenSSL, 1.2 or
// later). Nothing here raises SIGPIPE: TLS writes through a socket BIO of our own that sends
// with MSG_NOSIGNAL, as the plain writes do.
#pragma once

#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "tools/http/server.hpp"

namespace qel::http {

struct TlsContextFree {
  void operator()(SSL_CTX *context) const { SSL_CTX_free(context); }
};
using TlsContext = std::unique_ptr<SSL_CTX, TlsContextFree>;

// A server context for the certificate chain and key of `files`; null with a reason.
TlsContext loadTlsContext(const TlsFiles &files, std::string &error);

enum class IoStatus {
  kDone,       // `bytes` moved (at least one)
  kWantRead,   // try again when the socket is readable
  kWantWrite,  // try again when the socket is writable
  kEnd,        // the peer closed (reads), or the connection broke
};
struct Io {
  IoStatus status = IoStatus::kEnd;
  std::size_t bytes = 0;
};

class Stream {
 public:
  // Owns `fd`; with `tls`, speaks TLS on it (the server's end of the handshake comes first).
  Stream(int fd, SSL_CTX *tls);
  ~Stream();
  Stream(const Stream &) = delete;
  Stream &operator=(const Stream &) = delete;

  int fd() const { return fd_; }
  bool secure() const { return ssl_ != nullptr; }
  // kDone once the TLS handshake is complete (at once without TLS).
  Io handshake();
  Io read(char *data, std::size_t size);
  Io write(std::string_view data);
  // Leaves TLS before the handshake (a plain-text client on a TLS port is answered in plain
  // text).
  void dropTls();
  // Ends writing: a TLS close_notify if it can be sent now, then a half close of the socket.
  void finish();

 private:
  Io sslResult(int result, std::size_t bytes);

  int fd_;
  SSL *ssl_ = nullptr;
  bool handshakeDone_ = false;
};

}  // namespace qel::http
