// SPDX-License-Identifier: Apache-2.0
#include "http_client.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <stdexcept>

#include "child_process.hpp"

namespace qel::test {
namespace {

// An address of `text` (IPv4 or IPv6) and `port`.
sockaddr_storage address(const std::string &text, int port, socklen_t &length) {
  sockaddr_storage storage{};
  auto &v4 = reinterpret_cast<sockaddr_in &>(storage);
  auto &v6 = reinterpret_cast<sockaddr_in6 &>(storage);
  if (inet_pton(AF_INET, text.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<uint16_t>(port));
    length = sizeof v4;
  } else {
    inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<uint16_t>(port));
    length = sizeof v6;
  }
  return storage;
}

}  // namespace

void echoHandler(const http::Request &request, http::Response &response) {
  const std::string &path = request.path;
  if (path == "/slow") std::this_thread::sleep_for(500ms);
  if (path == "/throw") throw std::runtime_error("the handler failed");
  if (path == "/inject") response.headers.add("X-Note", "a\r\nSet-Cookie: stolen=1");
  if (path == "/close") response.headers.add("Connection", "close");
  if (path == "/big" || path == "/empty") {
    response.status = path == "/big" ? 200 : 204;
    response.body.assign(path == "/big" ? 8 << 20 : 8, 'x');
  } else if (path != "/echo" && path != "/slow" && path != "/inject" && path != "/close") {
    response.status = 404;
    response.body = "not found\n";
  } else {
    response.headers.add("Content-Type", "text/plain");
    response.body = request.method + " " + path + "\n";
    for (const auto &[name, value] : request.parameters) response.body += name + "=" + value + "\n";
    if (!request.body.empty()) response.body += "body " + request.body + "\n";
    if (request.secure) response.body += "secure\n";
  }
}

TestServer::TestServer(http::Limits limits, const std::optional<http::TlsFiles> &tls,
                       const std::string &host)
    : server_(limits, echoHandler) {
  std::string error;
  if (tls) {
    EXPECT_TRUE(server_.useTls(*tls, error)) << error;
  }
  EXPECT_TRUE(server_.listen(host, 0, error)) << error;
  thread_ = std::thread([this] { EXPECT_TRUE(server_.run()); });
}

TestServer::~TestServer() { stop(); }

Clock::duration TestServer::stop() {
  if (!thread_.joinable()) return {};
  const auto start = Clock::now();
  server_.stop();
  thread_.join();
  return Clock::now() - start;
}

RawClient::RawClient(int port, const std::string &source, const std::string &server) {
  socklen_t length = 0;
  const sockaddr_storage from = address(source, 0, length);
  const sockaddr_storage to = address(server, port, length);
  fd_ = socket(to.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (bind(fd_, reinterpret_cast<const sockaddr *>(&from), length) != 0 ||
      connect(fd_, reinterpret_cast<const sockaddr *>(&to), length) != 0) {
    ADD_FAILURE() << "cannot connect from " << source << " to port " << port;
  }
}

RawClient::~RawClient() {
  if (fd_ >= 0) close(fd_);
}

bool RawClient::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawClient::readMore(std::chrono::milliseconds limit, Clock::time_point start) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(start + limit - Clock::now());
  pollfd ready{fd_, POLLIN, 0};
  if (ended_ || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) {
    return false;
  }
  char chunk[65536];
  const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
  if (got <= 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(got));
  return true;
}

std::string RawClient::response(std::chrono::milliseconds limit) {
  const auto start = Clock::now();
  for (;;) {
    const auto end = buffer_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::size_t length = 0;
      const auto field = buffer_.find("\r\nContent-Length: ");
      const bool bodiless = buffer_.compare(9, 1, "1") == 0 || buffer_.compare(9, 3, "204") == 0 ||
                            buffer_.compare(9, 3, "304") == 0;
      if (field < end && !bodiless) length = std::stoul(buffer_.substr(field + 18));
      if (buffer_.size() >= end + 4 + length) {
        std::string one = buffer_.substr(0, end + 4 + length);
        buffer_.erase(0, one.size());
        return one;
      }
    }
    if (!readMore(limit, start)) return std::exchange(buffer_, {});
  }
}

std::string RawClient::untilClosed(std::chrono::milliseconds limit) {
  const auto start = Clock::now();
  while (readMore(limit, start)) {
  }
  return std::exchange(buffer_, {}) + (ended_ ? "" : "(open)");
}

std::string withoutDates(std::string response) {
  if (response.find("\r\nDate: ") == std::string::npos) return response + "(no Date)";
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  static const std::regex imfDate(
      "\r\nDate: [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT");
  for (auto date = response.find("\r\nDate: "); date != std::string::npos;
       date = response.find("\r\nDate: ")) {
    const auto end = response.find("\r\n", date + 2);
    if (!std::regex_match(response.substr(date, end - date), imfDate)) return response;
    response.erase(date, end - date);
  }
  return response;
}

std::string refusal(std::string_view status, std::string_view reason, bool close) {
  return "HTTP/1.1 " + std::string(status) +
         "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
         std::to_string(reason.size() + 1) + (close ? "\r\nConnection: close" : "") + "\r\n\r\n" +
         std::string(reason) + "\n";
}

const http::TlsFiles &testCertificate() {
  struct Made {
    Made() {
      char pattern[] = "/tmp/qel-http-test-XXXXXX";
      directory = mkdtemp(pattern);
      files = {directory + "/cert.pem", directory + "/key.pem"};
      std::string output;
      const int status = runCommand(
          std::string(QEL_OPENSSL) +
              " req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
              " -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
              files.key + " -out " + files.certificate,
          output);
      EXPECT_EQ(status, 0) << output;
    }
    ~Made() { std::filesystem::remove_all(directory); }
    std::string directory;
    http::TlsFiles files;
  };
  static const Made made;
  return made.files;
}

}  // namespace qel::test
