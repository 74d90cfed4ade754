// SPDX-License-Identifier: Apache-2.0
// The tools' HTTP/1.1 server (qel-exporter, qel-redfishd): one event thread reads every request
// head and body within fixed limits and deadlines, so that a slow, idle or flooding client costs
// a descriptor and a buffer, never a thread; complete requests go to a bounded pool of workers,
// and a request that finds the queue full is answered 503 at once. TLS (1.2 or later) with a
// certificate and key in PEM files, or plain HTTP.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::http {

// Header fields in the order they came; names compare without regard to case.
class Headers {
 public:
  // The first field named `name`, or null.
  const std::string *find(std::string_view name) const;
  // Replaces every field named `name` with one.
  void set(std::string name, std::string value);
  void add(std::string name, std::string value);
  const std::vector<std::pair<std::string, std::string>> &fields() const { return fields_; }

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

struct Request {
  std::string method;  // as sent (methods are case-sensitive): "GET", "PATCH", ...
  std::string target;  // as sent: "/redfish/v1/Systems?$top=2"
  std::string path;    // the target's path, percent-decoded (a request whose path would decode
                       // to a NUL or is not of the origin form is refused with 400)
  // The query's parameters, percent-decoded ('+' as a space), in order.
  std::vector<std::pair<std::string, std::string>> parameters;
  Headers headers;
  std::string body;
  std::string peer;     // the client's address, without port
  bool secure = false;  // came over TLS
};

struct Response {
  int status = 200;
  // The server adds Content-Length, Date and Connection; a HEAD request gets no body.
  Headers headers;
  std::string body;
};

// Runs on a worker thread; may block (within the tool's own bounds).
using Handler = std::function<void(const Request &, Response &)>;

struct Limits {
  std::size_t maxHeadBytes = 16 * 1024;  // request line and header fields: beyond, 431
  std::size_t maxHeaderCount = 64;       // beyond, 431
  std::size_t maxBodyBytes = 0;          // a declared body beyond, 413 (before it is read)
  // A request's head and body must have arrived this long after its first byte: beyond, 408.
  std::chrono::milliseconds requestTimeout{5000};
  // A kept-alive connection idle this long between requests is closed.
  std::chrono::milliseconds idleTimeout{5000};
  // A response not taken by the client within this is dropped with its connection.
  std::chrono::milliseconds writeTimeout{10000};
  std::size_t maxConnections = 512;        // beyond, new connections are closed at once
  std::size_t maxConnectionsPerClient = 32;  // per client address
  std::size_t workers = 8;
  std::size_t queue = 64;  // complete requests waiting for a worker: beyond, 503
};

struct TlsFiles {
  std::string certificate;  // PEM, the chain after the certificate
  std::string key;          // PEM
};

// What a tool may show of its HTTP side (self metrics).
struct Counters {
  unsigned long long connections = 0;  // accepted, in all
  unsigned long long refusedConnections = 0;  // closed at once over a connection bound
  unsigned long long requests = 0;            // handed to the handler
  unsigned long long rejected = 0;            // answered by the server itself (4xx, 503)
  std::size_t open = 0;                       // connections open now
};

class Server {
 public:
  Server(Limits limits, Handler handler);
  ~Server();
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  // Serves TLS on every connection from now on; false with a reason when the files cannot be
  // used (unreadable, not PEM, key and certificate do not match).
  bool useTls(const TlsFiles &files, std::string &error);
  // Binds and listens on `host` ("" or "0.0.0.0": every IPv4 address; "::" or "[::]": IPv6 and
  // IPv4) and `port` (0: a free one). An address in use is an error: no SO_REUSEPORT.
  bool listen(const std::string &host, int port, std::string &error);
  int port() const;
  // Serves until stop(); false when the listening socket failed.
  bool run();
  // From any thread; run() returns promptly, requests in progress are given up to the write
  // timeout to finish.
  void stop();
  Counters counters() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The user and password of a request's "Authorization: Basic" field, or nothing.
std::optional<std::pair<std::string, std::string>> basicCredentials(const Request &request);

}  // namespace qel::http
