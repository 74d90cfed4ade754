// SPDX-License-Identifier: Apache-2.0
// The tools' HTTP/1.1 server (qel-exporter, qel-redfishd): one event thread reads every request
// head and body within fixed limits and deadlines, so that a slow, idle or flooding client costs
// a descriptor and a buffer, never a thread; complete requests go to a bounded pool of workers,
// and a request that finds the queue full is answered 503 at once. TLS (1.2 or later) with a
// certificate and key in PEM files, or plain HTTP.
//
// What the server answers by itself, each with a one-line "text/plain" body, and closing the
// connection afterwards (but for 503 on a full queue, after which the connection is kept):
//   400  a malformed request line, target, header field, Content-Length or chunk; a folded
//        field; a CR without LF; no Host field in HTTP/1.1, or two; Content-Length and
//        Transfer-Encoding together; plain HTTP on a TLS port
//   408  the request's head and body not complete within requestTimeout of its first byte
//   413  a body beyond maxBodyBytes, declared or (chunked) as it comes, never read past it
//   414  a request line longer than maxHeadBytes
//   417  an Expect other than "100-continue"
//   431  a head beyond maxHeadBytes or maxHeaderCount fields
//   500  the handler threw, or its response was malformed (status outside 200-599, a field
//        name that is not a token, a value with CR, LF or another control character)
//   501  a transfer coding other than chunked
//   503  the workers busy and the queue full ("Retry-After"); or the server stopping
//   505  an HTTP version other than 1.0 and 1.1
// Keep-alive: HTTP/1.1 unless "Connection: close", HTTP/1.0 with "Connection: keep-alive".
// Pipelined requests are read one at a time and answered in order. "Expect: 100-continue" gets
// "100 Continue" once the head is accepted, or the refusal instead. Chunked request bodies are
// decoded (trailers dropped). Methods are passed as sent, unknown ones too: the handler answers
// 405 or 501. docs/http.md has the rest.
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
  // How many fields are named `name`.
  std::size_t count(std::string_view name) const;
  // Replaces every field named `name` with one.
  void set(std::string name, std::string value);
  void add(std::string name, std::string value);
  void remove(std::string_view name);
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
  Headers headers;  // trimmed values; every one free of control characters but tab
  std::string body;
  std::string peer;     // the client's address, without port (IPv4 clients of "::" as IPv4)
  bool secure = false;  // came over TLS
};

struct Response {
  int status = 200;
  // The server adds Content-Length, Date and Connection (a handler's own are dropped; its
  // "Connection: close" closes the connection after the response); 204 and 304 go without
  // Content-Length and body; a HEAD request gets the headers and length of the body, no body.
  Headers headers;
  std::string body;
};

// Runs on a worker thread; may block (within the tool's own bounds). What it throws is answered
// 500.
using Handler = std::function<void(const Request &, Response &)>;

// The bounds. What a client may hold is maxConnectionsPerClient connections, each with a
// buffer of at most maxHeadBytes + maxBodyBytes plus 64 KiB read ahead.
struct Limits {
  std::size_t maxHeadBytes = 16 * 1024;  // request line and header fields: beyond, 414 or 431
  std::size_t maxHeaderCount = 64;       // beyond, 431
  std::size_t maxBodyBytes = 0;          // a declared body beyond, 413 (before it is read)
  // A request's head and body must have arrived this long after its first byte: beyond, 408.
  // A TLS handshake must be done within it too.
  std::chrono::milliseconds requestTimeout{5000};
  // A kept-alive connection idle this long between requests is closed.
  std::chrono::milliseconds idleTimeout{5000};
  // A response not taken by the client within this is dropped with its connection.
  std::chrono::milliseconds writeTimeout{10000};
  std::size_t maxConnections = 512;          // beyond, new connections are closed at once
  std::size_t maxConnectionsPerClient = 32;  // per client address
  std::size_t workers = 8;                   // at least one
  std::size_t queue = 64;                    // complete requests waiting for a worker: beyond, 503
  std::chrono::seconds retryAfter{1};        // in the server's own 503 on a full queue
};

struct TlsFiles {
  std::string certificate;  // PEM, the chain after the certificate
  std::string key;          // PEM
};

// What a tool may show of its HTTP side (self metrics).
struct Counters {
  unsigned long long connections = 0;         // accepted, in all
  unsigned long long refusedConnections = 0;  // closed at once over a connection bound
  unsigned long long requests = 0;            // handed to the handler
  unsigned long long rejected = 0;            // answered by the server itself (4xx, 503)
  std::size_t open = 0;                       // connections open now
};

class Server {
 public:
  Server(Limits limits, Handler handler);
  // Stops, and waits for the handlers still running to return.
  ~Server();
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  // Serves TLS on every connection (called before run()); false with a reason when the files
  // cannot be used (unreadable, not PEM, key and certificate do not match), or once run() has
  // begun.
  bool useTls(const TlsFiles &files, std::string &error);
  // Binds and listens on `host` ("": every address, IPv6 and IPv4 where the system has IPv6,
  // else IPv4; "0.0.0.0": every IPv4 address; "::" or "[::]": IPv6 and IPv4; an address or a
  // name, its first address that binds) and `port` (0: a free one). An address in use is an
  // error: no SO_REUSEPORT. Once.
  bool listen(const std::string &host, int port, std::string &error);
  int port() const;
  // Serves until stop(); false when the listening socket failed, or listen() did not succeed.
  // Once per server. Raises the soft limit of open files to fit maxConnections where the hard
  // limit allows.
  bool run();
  // From any thread, before or during run(): run() returns within a second. Requests being
  // read are dropped, queued ones answered 503, and those with a worker get what is left of
  // the second to be answered.
  void stop();
  Counters counters() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The user and password of a request's "Authorization: Basic" field (there must be one such
// field, its credentials base64 with a colon), or nothing.
std::optional<std::pair<std::string, std::string>> basicCredentials(const Request &request);

}  // namespace qel::http
