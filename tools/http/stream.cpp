// SPDX-License-Identifier: Apache-2.0
#include "tools/http/stream.hpp"

#include <openssl/err.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

namespace qel::http {
namespace {

// Ciphers for TLS 1.2, all with forward secrecy and authenticated encryption; TLS 1.3 keeps
// its own (all of them are).
constexpr const char *kTls12Ciphers = "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20";

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

int socketWrite(BIO *bio, const char *data, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t sent = send(static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))),
                            data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
  if (sent < 0 && wouldBlock()) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int socketRead(BIO *bio, char *data, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t got = recv(static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))),
                           data, static_cast<std::size_t>(size), 0);
  if (got < 0 && wouldBlock()) BIO_set_retry_read(bio);
  return static_cast<int>(got);
}

long socketControl(BIO *, int command, long, void *) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int socketCreate(BIO *bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// The socket BIO: OpenSSL's own writes with write(2), which raises SIGPIPE on a closed peer.
BIO_METHOD *socketMethod() {
  static BIO_METHOD *method = [] {
    BIO_METHOD *made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "qel socket");
    if (made != nullptr) {
      BIO_meth_set_write(made, socketWrite);
      BIO_meth_set_read(made, socketRead);
      BIO_meth_set_ctrl(made, socketControl);
      BIO_meth_set_create(made, socketCreate);
    }
    return made;
  }();
  return method;
}

// OpenSSL's reason for the last failure, and the queue emptied.
std::string tlsReason() {
  const unsigned long code = ERR_peek_last_error();
  char text[256] = "unknown error";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return text;
}

bool readable(const std::string &path, std::string &error) {
  if (access(path.c_str(), R_OK) == 0) return true;
  error = "cannot read " + path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

TlsContext loadTlsContext(const TlsFiles &files, std::string &error) {
  if (!readable(files.certificate, error) || !readable(files.key, error)) return nullptr;
  ERR_clear_error();
  TlsContext context(SSL_CTX_new(TLS_server_method()));
  if (!context || socketMethod() == nullptr) {
    error = "cannot set up TLS: " + tlsReason();
    return nullptr;
  }
  SSL_CTX *ctx = context.get();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_options(
      ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
  SSL_CTX_set_mode(ctx, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ENABLE_PARTIAL_WRITE |
                            SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_dh_auto(ctx, 1);
  if (SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) != 1) {
    error = "cannot set up TLS: " + tlsReason();
    return nullptr;
  }
  if (SSL_CTX_use_certificate_chain_file(ctx, files.certificate.c_str()) != 1) {
    error = "no certificate in " + files.certificate + ": " + tlsReason();
    return nullptr;
  }
  const bool keyRead = SSL_CTX_use_PrivateKey_file(ctx, files.key.c_str(), SSL_FILETYPE_PEM) == 1;
  if (!keyRead && ERR_GET_REASON(ERR_peek_last_error()) != X509_R_KEY_VALUES_MISMATCH) {
    error = "no private key in " + files.key + ": " + tlsReason();
    return nullptr;
  }
  if (!keyRead || SSL_CTX_check_private_key(ctx) != 1) {
    error = "the key in " + files.key + " does not match the certificate in " + files.certificate;
    ERR_clear_error();
    return nullptr;
  }
  return context;
}

Stream::Stream(int fd, SSL_CTX *tls) : fd_(fd) {
  if (tls == nullptr) return;
  ssl_ = SSL_new(tls);
  BIO *bio = ssl_ == nullptr ? nullptr : BIO_new(socketMethod());
  if (bio == nullptr) {
    // Without its TLS state the connection can do nothing: every call ends it.
    SSL_free(ssl_);
    ssl_ = nullptr;
    fd_ = -1;
    close(fd);
    return;
  }
  BIO_set_data(bio, reinterpret_cast<void *>(static_cast<std::intptr_t>(fd)));
  SSL_set_bio(ssl_, bio, bio);
  SSL_set_accept_state(ssl_);
}

Stream::~Stream() {
  SSL_free(ssl_);
  if (fd_ >= 0) close(fd_);
}

Io Stream::handshake() {
  if (fd_ < 0) return {};
  if (ssl_ == nullptr || handshakeDone_) return {IoStatus::kDone, 0};
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_);
  if (result == 1) {
    handshakeDone_ = true;
    return {IoStatus::kDone, 0};
  }
  return sslResult(result, 0);
}

Io Stream::read(char *data, std::size_t size) {
  if (fd_ < 0) return {};
  if (ssl_ != nullptr) {
    ERR_clear_error();
    std::size_t got = 0;
    const int result = SSL_read_ex(ssl_, data, size, &got);
    return sslResult(result, got);
  }
  const ssize_t got = recv(fd_, data, size, 0);
  if (got > 0) return {IoStatus::kDone, static_cast<std::size_t>(got)};
  if (got < 0 && wouldBlock()) return {IoStatus::kWantRead, 0};
  return {};
}

Io Stream::write(std::string_view data) {
  if (fd_ < 0) return {};
  if (ssl_ != nullptr) {
    ERR_clear_error();
    std::size_t sent = 0;
    const int result = SSL_write_ex(ssl_, data.data(), data.size(), &sent);
    return sslResult(result, sent);
  }
  const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
  if (sent > 0) return {IoStatus::kDone, static_cast<std::size_t>(sent)};
  if (sent < 0 && wouldBlock()) return {IoStatus::kWantWrite, 0};
  return {};
}

Io Stream::sslResult(int result, std::size_t bytes) {
  if (result == 1) return {IoStatus::kDone, bytes};
  const int error = SSL_get_error(ssl_, result);
  ERR_clear_error();
  if (error == SSL_ERROR_WANT_READ) return {IoStatus::kWantRead, 0};
  if (error == SSL_ERROR_WANT_WRITE) return {IoStatus::kWantWrite, 0};
  return {};
}

void Stream::dropTls() {
  SSL_free(ssl_);
  ssl_ = nullptr;
}

void Stream::finish() {
  if (fd_ < 0) return;
  if (ssl_ != nullptr && handshakeDone_) {
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
  }
  shutdown(fd_, SHUT_WR);
}

}  // namespace qel::http
