// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/rpc_service.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc_com.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "lib/protocol/procedures.hpp"
#include "simulator/model/log.hpp"

namespace qel::simd {

namespace {

// Large enough for reports and texts of several megabytes; a record beyond it ends the
// connection. Setting it also makes accepted connections non-blocking, so one slow client
// cannot stall the others.
constexpr int kMaxRecord = 64 << 20;

RpcService *active = nullptr;
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
  const int saved = errno;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
  errno = saved;
}

bool installSignals() {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
  // A client that goes away before its reply is written must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

// Many clients each hold a connection of their own; make room for them.
void raiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

struct NetconfigDeleter {
  void operator()(netconfig *n) const { freenetconfigent(n); }
};
using Netconfig = std::unique_ptr<netconfig, NetconfigDeleter>;

Netconfig tcpNetconfig() { return Netconfig(getnetconfigent("tcp")); }

}  // namespace

// Asked with the port mapper's version 2 query: libtirpc's rpcb_getaddr leaks a string on
// every call.
unsigned short registeredPort(rpcprog_t program) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return pmap_getport(&address, program, proc::kVersion, IPPROTO_TCP);
}

namespace {

// Whether anything takes connections at `port` of this machine: a connect on loopback is
// accepted or refused at once.
bool answersAt(unsigned short port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool answered =
      s >= 0 && connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
  if (s >= 0) ::close(s);
  return answered;
}

// A registration whose server is gone (killed before it could remove it) is removed, and said
// so; one whose port still answers belongs to a server that runs.
bool clearStaleRegistration(rpcprog_t program, std::string &error) {
  const unsigned short port = registeredPort(program);
  if (port == 0) return true;
  const std::string number = std::to_string(program);
  if (answersAt(port)) {
    error = "program " + number + " is already registered with the port mapper, and a server " +
            "answers at its port " + std::to_string(port) + " (another server running?)";
    return false;
  }
  svc_unreg(program, proc::kVersion);
  if (registeredPort(program) != 0) {
    error = "program " + number + " is registered with the port mapper at port " +
            std::to_string(port) +
            ", where nobody answers, and the registration cannot be removed (made by another "
            "user?); as root: rpcinfo -d " +
            number + " " + std::to_string(proc::kVersion);
    return false;
  }
  logf(kLogWarning,
       "program %s was registered at port %u, where nobody answers (a server that ended without "
       "removing it): registration replaced",
       number.c_str(), static_cast<unsigned>(port));
  return true;
}

}  // namespace

RpcService::RpcService(rpcprog_t program, SpState &state, ServerControls controls)
    : program_(program), state_(state), controls_(std::move(controls)) {}

RpcService::~RpcService() {
  unregister();
  if (listener_) svc_destroy(listener_);
  if (active == this) active = nullptr;
}

bool RpcService::start(std::string &error) {
  if (!installSignals()) {
    error = std::string("cannot set up signal handling: ") + std::strerror(errno);
    return false;
  }
  raiseDescriptorLimit();
  int maxRecord = kMaxRecord;
  rpc_control(RPC_SVC_CONNMAXREC_SET, &maxRecord);
  return listen(error);
}

bool RpcService::listen(std::string &error) {
  Netconfig tcp = tcpNetconfig();
  if (!tcp) {
    error = "no \"tcp\" transport in /etc/netconfig";
    return false;
  }
  if (!clearStaleRegistration(program_, error)) return false;
  listener_ = svc_tli_create(RPC_ANYFD, tcp.get(), nullptr, 0, 0);
  if (!listener_) {
    error = "cannot create the TCP transport";
    return false;
  }
  active = this;
  if (!svc_reg(listener_, program_, proc::kVersion, dispatch, tcp.get())) {
    error = "cannot register program " + std::to_string(program_) +
            " with the port mapper (is rpcbind running?)";
    return false;
  }
  registered_ = true;
  logf(kLogInfo, "serving program %lu version %lu over TCP", static_cast<unsigned long>(program_),
       static_cast<unsigned long>(proc::kVersion));
  return true;
}

// Client connections end as if the server had gone: the RPC layer reads the end of each and
// lets it go on its next turn.
void RpcService::close() {
  unregister();
  if (listener_) {
    svc_destroy(listener_);
    listener_ = nullptr;
  }
  for (int i = 0; i < svc_max_pollfd; ++i) {
    if (svc_pollfd[i].fd >= 0) shutdown(svc_pollfd[i].fd, SHUT_RDWR);
  }
}

bool RpcService::reopen(std::string &error) {
  if (listener_) return true;
  return listen(error);
}

void RpcService::unregister() {
  if (!registered_) return;
  svc_unreg(program_, proc::kVersion);
  registered_ = false;
  logf(kLogInfo, "registration of program %lu removed", static_cast<unsigned long>(program_));
}

void RpcService::dispatch(svc_req *request, SVCXPRT *transport) {
  if (!active) return;
  CallHooks *hooks = active->partner_ ? active->partner_->callHooks() : nullptr;
  dispatchRequest(request, transport, active->state_, active->controls_, hooks);
}

// The RPC layer's descriptors in its own order, those the partner holds blanked out so that
// poll skips them.
void RpcService::collectPollFds(std::vector<pollfd> &fds) const {
  for (int i = 0; i < svc_max_pollfd; ++i) {
    pollfd entry = svc_pollfd[i];
    if (partner_ && entry.fd >= 0 && partner_->holds(entry.fd)) entry.fd = -1;
    fds.push_back(entry);
  }
}

void RpcService::run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.assign(1, pollfd{signalPipe[0], POLLIN, 0});
    collectPollFds(fds);
    const std::size_t partnerFds = fds.size();
    if (partner_) partner_->addPollFds(fds);
    const int ready = poll(fds.data(), fds.size(), partner_ ? partner_->timeoutMs() : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      logf(kLogError, "poll failed: %s", std::strerror(errno));
      return;
    }
    if (fds[0].revents != 0) {
      char number = 0;
      while (read(signalPipe[0], &number, 1) == 1) {
        if (number == SIGHUP) {
          controls_.configure();
        } else {
          logf(kLogInfo, "signal %d: stopping", number);
          stopping_ = true;
        }
      }
    }
    // The RPC layer looks at entries until it has seen as many ready ones as it is told.
    const auto served = std::count_if(fds.begin() + 1, fds.begin() + static_cast<long>(partnerFds),
                                      [](const pollfd &p) { return p.revents != 0; });
    if (served > 0 && !stopping_) svc_getreq_poll(fds.data() + 1, static_cast<int>(served));
    if (partner_ && !stopping_) partner_->serve(fds.data() + partnerFds, fds.size() - partnerFds);
  }
}

}  // namespace qel::simd
