#include "server/rpc_service.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc_com.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "protocol/procedures.hpp"
#include "server/log.hpp"

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
bool isRegistered(rpcprog_t program) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return pmap_getport(&address, program, proc::kVersion, IPPROTO_TCP) != 0;
}

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
  Netconfig tcp = tcpNetconfig();
  if (!tcp) {
    error = "no \"tcp\" transport in /etc/netconfig";
    return false;
  }
  if (isRegistered(program_)) {
    error = "program " + std::to_string(program_) +
            " is already registered with the port mapper (another server running?)";
    return false;
  }
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

void RpcService::unregister() {
  if (!registered_) return;
  svc_unreg(program_, proc::kVersion);
  registered_ = false;
  logf(kLogInfo, "registration of program %lu removed", static_cast<unsigned long>(program_));
}

void RpcService::dispatch(svc_req *request, SVCXPRT *transport) {
  if (active) dispatchRequest(request, transport, active->state_, active->controls_);
}

void RpcService::run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.assign(1, pollfd{signalPipe[0], POLLIN, 0});
    fds.insert(fds.end(), svc_pollfd, svc_pollfd + svc_max_pollfd);
    const int ready = poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      logf(kLogError, "poll failed: %s", std::strerror(errno));
      return;
    }
    int served = ready;
    if (fds[0].revents != 0) {
      --served;
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
    if (served > 0 && !stopping_) svc_getreq_poll(fds.data() + 1, served);
  }
}

}  // namespace qel::simd
