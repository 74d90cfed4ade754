// SPDX-License-Identifier: Apache-2.0
// What the server tests share: the server running on loopback with a handler that says what it
// received, and a raw client socket that sends any bytes and reads what comes back.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "tools/http/server.hpp"

namespace qel::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// /echo: 200, the method, path, parameters, body and whether over TLS, one per line;
// /slow: the same after 500 ms; /big: 8 MiB; /throw: throws; /inject: a field with CRLF;
// /empty: 204; /close: asks for "Connection: close"; anything else: 404.
void echoHandler(const http::Request &request, http::Response &response);

// A server on 127.0.0.1 (or `host`), run on a thread of its own until the end of the test.
class TestServer {
 public:
  explicit TestServer(http::Limits limits, const std::optional<http::TlsFiles> &tls = {},
                      const std::string &host = "127.0.0.1");
  ~TestServer();
  int port() const { return server_.port(); }
  http::Server &server() { return server_; }
  // Stops the server and says how long run() took to return.
  Clock::duration stop();

 private:
  http::Server server_;
  std::thread thread_;
};

// A blocking TCP connection to `port`, from the loopback address `source`.
class RawClient {
 public:
  explicit RawClient(int port, const std::string &source = "127.0.0.1",
                     const std::string &server = "127.0.0.1");
  ~RawClient();
  RawClient(const RawClient &) = delete;
  RawClient &operator=(const RawClient &) = delete;

  bool send(std::string_view bytes);
  // One response (its head and a body of its Content-Length), or what came before the end or
  // `limit`.
  std::string response(std::chrono::milliseconds limit = 5000ms);
  // Everything until the server closes; "(open)" appended when it did not within `limit`.
  std::string untilClosed(std::chrono::milliseconds limit = 5000ms);

 private:
  bool readMore(std::chrono::milliseconds limit, Clock::time_point start);

  int fd_ = -1;
  std::string buffer_;
  bool ended_ = false;
};

// `response` without its Date fields (of which there must be one at least, each an IMF date).
std::string withoutDates(std::string response);

// The bytes of one of the server's own refusals, as it must send them (Date left out):
// `status` such as "400 Bad Request", then `reason`.
std::string refusal(std::string_view status, std::string_view reason, bool close = true);

// A self-signed certificate and its key for "localhost", made once by the openssl command.
const http::TlsFiles &testCertificate();

}  // namespace qel::test
