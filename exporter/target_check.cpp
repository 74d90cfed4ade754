// SPDX-License-Identifier: Apache-2.0
#include "exporter/target_check.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <variant>
#include <vector>

#include "exporter/port_query.hpp"
#include "tools/descriptor.hpp"

namespace qel::exporter {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kPortMapperPort = 111;

// A TCP socket of its own, non-blocking.
tools::Descriptor tcpSocket() {
  return tools::Descriptor(
      socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
}

// Milliseconds until `deadline`, for poll: 0 once it has passed.
int msUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(0, std::min<long long>(left.count(), 60000)));
}

// Waits for `events` on `fd` until `deadline`: false when it passed first.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, msUntil(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

// The errno of a connect of `socket` to `address`, 0 once connected, ETIMEDOUT past `deadline`.
int connectWithin(const tools::Descriptor &socket, sockaddr_in address,
                  Clock::time_point deadline) {
  if (socket.get() < 0) return errno;
  if (connect(socket.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
    return 0;
  }
  if (errno != EINPROGRESS) return errno;
  if (!waitFor(socket.get(), POLLOUT, deadline)) return ETIMEDOUT;
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length);
  return error;
}

std::string addressText(const sockaddr_in &address) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

// What a failed connect to `what` means to someone reading the log.
TargetCheck notConnected(int error, const std::string &what, std::chrono::milliseconds waited) {
  TargetCheck check;
  check.timedOut = error == ETIMEDOUT;
  switch (error) {
    case ECONNREFUSED:
      check.cause = what + " refused the connection";
      break;
    case EHOSTUNREACH:
    case ENETUNREACH:
      check.cause = "no route to " + what;
      break;
    case ETIMEDOUT:
      check.cause = "no answer from " + what + " within " + std::to_string(waited.count()) +
                    " ms (timed out)";
      break;
    default:
      check.cause = "cannot connect to " + what + ": " + std::strerror(error);
  }
  return check;
}

struct ExchangeFailure {
  std::string what;
  bool timedOut = false;
};

// Sends `call` and reads one reply record, by `deadline`.
std::variant<std::vector<unsigned char>, ExchangeFailure> exchange(const tools::Descriptor &socket,
                                                                   const std::string &call,
                                                                   Clock::time_point deadline) {
  for (std::size_t sent = 0; sent < call.size();) {
    const ssize_t n = send(socket.get(), call.data() + sent, call.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if ((n < 0 && errno != EAGAIN && errno != EINTR) ||
               !waitFor(socket.get(), POLLOUT, deadline)) {
      return ExchangeFailure{"the query could not be sent"};
    }
  }
  std::vector<unsigned char> reply(kLongestReply);
  std::size_t got = 0;
  for (;;) {
    const long whole = replyRecordSize(reply.data(), got);
    if (whole < 0) return ExchangeFailure{"its reply is malformed"};
    if (whole > 0) {
      reply.resize(static_cast<std::size_t>(whole));
      return reply;
    }
    if (!waitFor(socket.get(), POLLIN, deadline)) return ExchangeFailure{"no reply in time", true};
    const ssize_t n = recv(socket.get(), reply.data() + got, reply.size() - got, 0);
    if (n == 0) return ExchangeFailure{"it closed the connection without a reply"};
    if (n < 0 && errno != EAGAIN && errno != EINTR) return ExchangeFailure{std::strerror(errno)};
    if (n > 0) got += static_cast<std::size_t>(n);
  }
}

uint32_t nextXid() {
  static std::atomic<uint32_t> xid{static_cast<uint32_t>(Clock::now().time_since_epoch().count())};
  return xid.fetch_add(1);
}

// The checks of one address, port mapper first; `answered` tells whether its port mapper took
// the connection.
TargetCheck checkAddress(sockaddr_in address, uint32_t program, uint32_t version,
                         Clock::time_point deadline, bool &answered) {
  const Clock::time_point start = Clock::now();
  const auto waited = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  };
  const std::string host = addressText(address);
  const std::string portMapper = "the port mapper at " + host;
  address.sin_port = htons(kPortMapperPort);
  const tools::Descriptor query = tcpSocket();
  if (const int error = connectWithin(query, address, deadline)) {
    return notConnected(error, portMapper, waited());
  }
  answered = true;
  const uint32_t xid = nextXid();
  const auto record = exchange(query, getPortCall(xid, program, version), deadline);
  TargetCheck check;
  if (const auto *failure = std::get_if<ExchangeFailure>(&record)) {
    check.timedOut = failure->timedOut;
    check.cause = "asking " + portMapper + " for the program's port: " + failure->what;
    return check;
  }
  const auto &bytes = std::get<std::vector<unsigned char>>(record);
  const auto port = getPortReply(bytes.data(), bytes.size(), xid);
  if (const auto *failure = std::get_if<std::string>(&port)) {
    check.cause = *failure + " (" + host + ")";
    return check;
  }
  if (std::get<uint16_t>(port) == 0) {
    check.cause = "program " + std::to_string(program) + " is not registered with " + portMapper;
    return check;
  }
  address.sin_port = htons(std::get<uint16_t>(port));
  const tools::Descriptor server = tcpSocket();
  if (const int error = connectWithin(server, address, deadline)) {
    return notConnected(error,
                        "the server at " + host + " port " +
                            std::to_string(std::get<uint16_t>(port)) +
                            " (registered with the port mapper)",
                        waited());
  }
  check.reachable = true;
  check.address = host;
  return check;
}

// The IPv4 addresses of `host`, or the reason there are none.
std::variant<std::vector<sockaddr_in>, std::string> addressesOf(const std::string &host) {
  sockaddr_in literal{};
  literal.sin_family = AF_INET;
  if (inet_pton(AF_INET, host.c_str(), &literal.sin_addr) == 1) {
    return std::vector<sockaddr_in>{literal};
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  switch (const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found)) {
    case 0:
      break;
    case EAI_NONAME:
      return "name " + host + " not found";
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return "name " + host + " has no IPv4 address";
    case EAI_AGAIN:
      return "name " + host + " could not be resolved now (the name servers did not answer)";
    default:
      return "name " + host + " could not be resolved: " + gai_strerror(status);
  }
  std::vector<sockaddr_in> addresses;
  for (const addrinfo *a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen != sizeof(sockaddr_in)) continue;
    sockaddr_in address;
    std::memcpy(&address, a->ai_addr, sizeof address);
    addresses.push_back(address);
  }
  freeaddrinfo(found);
  if (addresses.empty()) return "name " + host + " has no IPv4 address";
  return addresses;
}

}  // namespace

TargetCheck checkTarget(const std::string &host, uint32_t program, uint32_t version,
                        Clock::time_point deadline) {
  auto addresses = addressesOf(host);
  if (auto *reason = std::get_if<std::string>(&addresses)) return {false, false, "", *reason};
  TargetCheck check;
  // As the library does: the first address whose port mapper answers decides.
  bool answered = false;
  for (const sockaddr_in &address : std::get<std::vector<sockaddr_in>>(addresses)) {
    check = checkAddress(address, program, version, deadline, answered);
    if (answered) break;
  }
  return check;
}

}  // namespace qel::exporter
