// SPDX-License-Identifier: Apache-2.0
// The server: its listening socket, TLS context, event loop and workers, wired together.
#include "tools/http/server.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "tools/http/event_loop.hpp"
#include "tools/http/listener.hpp"
#include "tools/http/worker_pool.hpp"

namespace qel::http {
namespace {

// Descriptors besides the connections: the listener, epoll, the wake-up, the reserve, and the
// tool's own files.
constexpr rlim_t kSpareDescriptors = 64;

Limits sane(Limits limits) {
  limits.workers = std::max<std::size_t>(limits.workers, 1);
  limits.maxConnections = std::max<std::size_t>(limits.maxConnections, 1);
  limits.maxConnectionsPerClient = std::max<std::size_t>(limits.maxConnectionsPerClient, 1);
  return limits;
}

void raiseDescriptorLimit(std::size_t connections) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted =
      std::min(limit.rlim_max, static_cast<rlim_t>(connections) + kSpareDescriptors);
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

struct Server::Impl {
  Impl(Limits givenLimits, Handler givenHandler)
      : limits(sane(givenLimits)),
        handler(std::move(givenHandler)),
        loop(limits, tally, stopping),
        pool(limits, handler, stopping, tally.requests,
             [this](std::unique_ptr<Connection> connection) {
               loop.giveBack(std::move(connection));
             }) {}
  ~Impl() {
    if (listener >= 0) close(listener);
  }

  const Limits limits;
  const Handler handler;
  Tally tally;
  std::atomic<bool> stopping{false};
  TlsContext tls;
  int listener = -1;
  std::atomic<bool> ran{false};
  EventLoop loop;
  WorkerPool pool;  // last: its workers are gone before anything they use
};

Server::Server(Limits limits, Handler handler)
    : impl_(std::make_unique<Impl>(limits, std::move(handler))) {}

Server::~Server() { stop(); }

bool Server::useTls(const TlsFiles &files, std::string &error) {
  if (impl_->ran) {
    error = "the server runs already";
    return false;
  }
  TlsContext context = loadTlsContext(files, error);
  if (!context) return false;
  impl_->tls = std::move(context);
  return true;
}

bool Server::listen(const std::string &host, int port, std::string &error) {
  if (impl_->listener >= 0) {
    error = "the server listens already";
    return false;
  }
  impl_->listener = openListener(host, port, error);
  return impl_->listener >= 0;
}

int Server::port() const { return boundPort(impl_->listener); }

bool Server::run() {
  if (impl_->listener < 0 || impl_->ran.exchange(true)) return false;
  raiseDescriptorLimit(impl_->limits.maxConnections);
  impl_->pool.start();
  return impl_->loop.run(impl_->listener, impl_->tls.get(), impl_->pool);
}

void Server::stop() {
  impl_->stopping = true;
  impl_->loop.wake();
}

Counters Server::counters() const {
  const Tally &tally = impl_->tally;
  return {tally.connections.load(), tally.refusedConnections.load(), tally.requests.load(),
          tally.rejected.load(), tally.open.load()};
}

}  // namespace qel::http
