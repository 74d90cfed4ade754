// SPDX-License-Identifier: Apache-2.0
// The tools' HTTP server (qel_http) in this process: a small GET on one kept-alive connection,
// in plain HTTP and in TLS (with a throw-away certificate), client and server pinned.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "loopback.hpp"
#include "sections.hpp"
#include "table.hpp"
#include "tools/http/server.hpp"

namespace qel::bench {
namespace {

const std::string kRequest = "GET /-/healthy HTTP/1.1\r\nHost: bench\r\n\r\n";

// A certificate for the TLS rows, made by the openssl command in a directory of its own.
class Certificate {
 public:
  Certificate() {
    char pattern[] = "/tmp/qel-bench-tls-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    directory_ = pattern;
    files_ = {directory_ + "/cert.pem", directory_ + "/key.pem"};
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        "-subj /CN=localhost -keyout " +
        files_.key + " -out " + files_.certificate + " >/dev/null 2>&1";
    made_ = std::system(command.c_str()) == 0;
  }
  ~Certificate() {
    if (!directory_.empty()) std::filesystem::remove_all(directory_);
  }
  const http::TlsFiles *files() const { return made_ ? &files_ : nullptr; }

 private:
  std::string directory_;
  http::TlsFiles files_;
  bool made_ = false;
};

// The server on 127.0.0.1 answering "OK", on a thread of its own.
class BenchServer {
 public:
  explicit BenchServer(const http::TlsFiles *tls)
      : server_(http::Limits{},
                [](const http::Request &, http::Response &response) { response.body = "OK\n"; }) {
    std::string error;
    ready_ =
        (tls == nullptr || server_.useTls(*tls, error)) && server_.listen("127.0.0.1", 0, error);
    if (ready_) thread_ = std::thread([this] { server_.run(); });
  }
  ~BenchServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  bool ready() const { return ready_; }
  int port() const { return server_.port(); }

 private:
  http::Server server_;
  std::thread thread_;
  bool ready_ = false;
};

// One kept-alive connection, plain or TLS. Every answer has the same length (the Date field's
// is fixed), which the first one gives.
class Client {
 public:
  Client(int port, bool tls) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = test::loopback();
    address.sin_port = htons(static_cast<uint16_t>(port));
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return;
    if (tls) {
      context_ = SSL_CTX_new(TLS_client_method());
      ssl_ = SSL_new(context_);
      SSL_set_fd(ssl_, fd_);
      if (SSL_connect(ssl_) != 1) return;
    }
    std::string first;
    char chunk[1024];
    if (!send()) return;
    while (first.find("\r\n\r\nOK\n") == std::string::npos) {
      const long got = receive(chunk, sizeof chunk);
      if (got <= 0) return;
      first.append(chunk, static_cast<std::size_t>(got));
    }
    answerSize_ = first.size();
  }
  ~Client() {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
    close(fd_);
  }
  bool ready() const { return answerSize_ > 0; }
  bool get() {
    if (!send()) return false;
    char chunk[1024];
    for (std::size_t got = 0; got < answerSize_;) {
      const long more = receive(chunk, std::min(sizeof chunk, answerSize_ - got));
      if (more <= 0) return false;
      got += static_cast<std::size_t>(more);
    }
    return true;
  }

 private:
  bool send() {
    if (ssl_ != nullptr)
      return SSL_write(ssl_, kRequest.data(), static_cast<int>(kRequest.size())) > 0;
    return ::send(fd_, kRequest.data(), kRequest.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(kRequest.size());
  }
  long receive(char *data, std::size_t size) {
    if (ssl_ != nullptr) return SSL_read(ssl_, data, static_cast<int>(size));
    return recv(fd_, data, size, 0);
  }

  int fd_;
  SSL_CTX *context_ = nullptr;
  SSL *ssl_ = nullptr;
  std::size_t answerSize_ = 0;
};

}  // namespace

void httpRows(const Bench &bench) {
  printSection("qel_http: a small GET on a kept-alive connection, server in this process");
  static const Certificate certificate;
  for (const Placement &placement : placements()) {
    // The servers' threads start before the placement pins them all to the server's CPU.
    BenchServer plain(nullptr), tls(certificate.files());
    placeHere(placement);
    if (!plain.ready() || !tls.ready()) return;
    // The first answer is read before a client is timed; the first SSL_write is in it too.
    Client plainClient(plain.port(), false), tlsClient(tls.port(), true);
    if (!plainClient.ready() || !tlsClient.ready()) return;
    const auto s = interleave({[&](long n) { return repeat(n, [&] { return plainClient.get(); }); },
                               [&](long n) { return repeat(n, [&] { return tlsClient.get(); }); }},
                              bench.plan);
    if (s.empty()) return;
    const auto perSecond = [](const Spread &ns) {
      return convert(ns, [](double x) { return 1e9 / x; });
    };
    const auto label = [&](const char *what) { return RowLabel{what, placement.name, "qel_http"}; };
    printRow(label("HTTP GET, us"), inMicroseconds(s[0]), 1);
    printRow(label("  requests per second"), perSecond(s[0]), 0);
    printRow(label("HTTPS GET, us"), inMicroseconds(s[1]), 1);
    printRow(label("  requests per second"), perSecond(s[1]), 0);
  }
}

}  // namespace qel::bench
