// SPDX-License-Identifier: Apache-2.0
// The ONC RPC side of the server: the TCP transport, the port mapper registration and the one
// loop that serves every connection and watches for signals.
#pragma once

#include <poll.h>
#include <rpc/rpc.h>

#include <string>
#include <vector>

#include "simulator/rpc/dispatch.hpp"

namespace qel::simd {

// Work that shares the server's loop: descriptors of its own, a timer, connections whose
// requests must wait, and the hooks it puts on every call.
class LoopPartner {
 public:
  virtual ~LoopPartner() = default;
  virtual CallHooks *callHooks() = 0;
  // A connection not to be read for now.
  virtual bool holds(int fd) const = 0;
  virtual void addPollFds(std::vector<pollfd> &fds) = 0;
  // Milliseconds until the partner has something to do, or -1.
  virtual int timeoutMs() = 0;
  // Called once per turn of the loop with what poll reported on the partner's descriptors.
  virtual void serve(const pollfd *fds, std::size_t count) = 0;
};

class RpcService {
 public:
  RpcService(rpcprog_t program, SpState &state, ServerControls controls);
  ~RpcService();
  RpcService(const RpcService &) = delete;
  RpcService &operator=(const RpcService &) = delete;

  // Creates the transport and registers it; false with `error` set when it cannot.
  bool start(std::string &error);
  // Serves until stop is requested or SIGTERM/SIGINT arrives; SIGHUP reloads the scenario.
  void run();
  void requestStop() { stopping_ = true; }
  // Removes the registration; done by the destructor too.
  void unregister();
  // Goes away as a stopped server would: the registration, the listener and every client
  // connection go.
  void close();
  // Comes back as a started server would, on a new port; false with `error` set when it cannot.
  bool reopen(std::string &error);
  // Reloads the scenario as the configure procedure does; a result code.
  int reload() { return controls_.configure(); }
  void setPartner(LoopPartner *partner) { partner_ = partner; }

 private:
  static void dispatch(svc_req *request, SVCXPRT *transport);
  bool listen(std::string &error);
  void collectPollFds(std::vector<pollfd> &fds) const;

  rpcprog_t program_;
  SpState &state_;
  ServerControls controls_;
  SVCXPRT *listener_ = nullptr;
  bool registered_ = false;
  bool stopping_ = false;
  LoopPartner *partner_ = nullptr;
};

// The TCP port `program` version 1 is registered under with the local port mapper; 0 for none.
unsigned short registeredPort(rpcprog_t program);

}  // namespace qel::simd
