// The ONC RPC side of the server: the TCP transport, the port mapper registration and the one
// loop that serves every connection and watches for signals.
#pragma once

#include <rpc/rpc.h>

#include <string>

#include "server/dispatch.hpp"

namespace qel::simd {

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

 private:
  static void dispatch(svc_req *request, SVCXPRT *transport);

  rpcprog_t program_;
  SpState &state_;
  ServerControls controls_;
  SVCXPRT *listener_ = nullptr;
  bool registered_ = false;
  bool stopping_ = false;
};

// True when `program` version 1 over TCP is registered with the local port mapper.
bool isRegistered(rpcprog_t program);

}  // namespace qel::simd
