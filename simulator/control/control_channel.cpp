// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/control_channel.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "simulator/model/log.hpp"

namespace qel::simd {

namespace {

// A client that does not read its answers is let go before they pile up.
constexpr std::size_t kMaxPendingOutput = 1 << 20;

std::string errorLine(const std::string &message) {
  return nlohmann::json{{"ok", false}, {"error", message}}.dump() + "\n";
}

bool fillAddress(const std::string &path, sockaddr_un &address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A socket file left by a server that ended without removing it answers no connection.
bool isStale(const sockaddr_un &address) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool refused =
      connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 &&
      errno == ECONNREFUSED;
  close(probe);
  return refused;
}

}  // namespace

std::string defaultControlPath(rpcprog_t program) {
  std::string directory;
  if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    directory = std::string(runtime) + "/qel-simd";
  } else if (geteuid() == 0) {
    directory = "/run/qel-simd";
  } else {
    directory = "/tmp/qel-simd-" + std::to_string(geteuid());
  }
  char name[32];
  std::snprintf(name, sizeof name, "/%lx.sock", static_cast<unsigned long>(program));
  return directory + name;
}

ControlChannel::~ControlChannel() {
  for (const Client &client : clients_) close(client.fd);
  if (listener_ >= 0) {
    close(listener_);
    unlink(path_.c_str());
  }
}

bool ControlChannel::open(const std::string &path, std::string &error) {
  sockaddr_un address;
  if (!fillAddress(path, address)) {
    error = "control socket path too long: " + path;
    return false;
  }
  const std::filesystem::path directory = std::filesystem::path(path).parent_path();
  std::error_code code;
  if (!directory.empty() && !std::filesystem::exists(directory, code)) {
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create " + directory.string() + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat existing {};
  if (lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode) || !isStale(address)) {
      error = path + " is in use (another server's control socket?)";
      return false;
    }
    unlink(path.c_str());
  }
  listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // The socket is owner-only from the moment it exists.
  const mode_t saved = umask(0177);
  const bool bound = listener_ >= 0 &&
                     bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  umask(saved);
  if (!bound || chmod(path.c_str(), 0600) != 0 || listen(listener_, 16) != 0) {
    error = "cannot create the control socket " + path + ": " + std::strerror(errno);
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
    return false;
  }
  path_ = path;
  logf(kLogInfo, "control channel on %s", path_.c_str());
  return true;
}

void ControlChannel::addPollFds(std::vector<pollfd> &fds) const {
  fds.push_back({listener_, POLLIN, 0});
  for (const Client &client : clients_) {
    fds.push_back(
        {client.fd, static_cast<short>(client.output.empty() ? POLLIN : POLLIN | POLLOUT), 0});
  }
}

void ControlChannel::serve(const pollfd *fds, std::size_t count) {
  if (count == 0) return;
  for (std::size_t i = 1; i < count && i - 1 < clients_.size(); ++i) {
    Client &client = clients_[i - 1];
    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) readFrom(client);
    if (!client.output.empty()) flush(client);
  }
  std::erase_if(clients_, [](const Client &client) {
    const bool done = client.fd < 0 || (client.closing && client.output.empty());
    if (done && client.fd >= 0) close(client.fd);
    return done;
  });
  if (fds[0].revents & POLLIN) accept();
}

// Only the server's own user may steer it; the socket's mode says so already, and the peer's
// credentials say so again should the file's mode be changed.
void ControlChannel::accept() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ucred peer{};
    socklen_t length = sizeof peer;
    std::string refusal;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
      refusal = "refused: the control channel serves only user " + std::to_string(geteuid());
      logf(kLogWarning, "control: refused a client of user %u (pid %d)",
           static_cast<unsigned>(peer.uid), static_cast<int>(peer.pid));
    } else if (clients_.size() >= kMaxClients) {
      refusal = "refused: too many control clients";
      logf(kLogWarning, "control: too many clients");
    }
    // A refused client stays until it has read why: closing a socket with its request unread
    // would reset the connection and lose the answer.
    if (!refusal.empty() && clients_.size() >= 2 * kMaxClients) {
      close(fd);
      continue;
    }
    if (!refusal.empty()) {
      clients_.push_back({fd, {}, errorLine(refusal), false, true});
      continue;
    }
    clients_.push_back({fd, {}, {}});
  }
}

void ControlChannel::readFrom(Client &client) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(client.fd, buffer, sizeof buffer);
    if (n > 0) {
      client.input.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) client.closing = true;
    break;
  }
  if (client.refused) {
    client.input.clear();
    return;
  }
  std::size_t end;
  while (!client.input.empty() && (end = client.input.find('\n')) != std::string::npos) {
    const std::string line = client.input.substr(0, end);
    client.input.erase(0, end + 1);
    if (line.size() > kMaxRequest) {
      client.input = line + "\n";  // let the size check below refuse it
      break;
    }
    answer(client, line);
  }
  if (client.input.size() > kMaxRequest) {
    logf(kLogWarning, "control: a request of more than %zu bytes; no more from that client",
         kMaxRequest);
    client.output += errorLine("request longer than " + std::to_string(kMaxRequest) + " bytes");
    client.input.clear();
    client.refused = true;
  }
}

void ControlChannel::answer(Client &client, const std::string &line) {
  if (line.find_first_not_of(" \t\r") == std::string::npos) return;
  nlohmann::json request;
  try {
    request = nlohmann::json::parse(line);
  } catch (const nlohmann::json::parse_error &error) {
    logf(kLogWarning, "control: a request that is not JSON");
    client.output += errorLine("not valid JSON at byte " + std::to_string(error.byte));
    return;
  }
  // Traced arguments are whatever bytes clients sent; bytes that are not UTF-8 are replaced.
  client.output +=
      handler_(request).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void ControlChannel::flush(Client &client) {
  const ssize_t n = send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL);
  if (n > 0) client.output.erase(0, static_cast<std::size_t>(n));
  const bool stuck = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
  if (stuck || client.output.size() > kMaxPendingOutput) {
    close(client.fd);
    client.fd = -1;
  }
}

}  // namespace qel::simd
