// SPDX-License-Identifier: Apache-2.0
// Fork and the RPC layer's own locks.
//
// libtirpc guards its connections with process-wide locks and does nothing about fork: a child
// forked while another thread held one of them (any thread calling, connecting or
// disconnecting) waits forever on its first use of the RPC layer. Every entry of the library
// into the RPC layer's client side holds an RpcSection; fork takes the host's connection lock
// and then waits until no section is held, so the child starts with every lock free. A section
// holds cancellation off: the RPC layer's locks would stay held by a thread cancelled inside.
#pragma once

#include "lib/transport/no_cancel.hpp"

namespace qel {

class RpcSection {
 public:
  RpcSection();
  ~RpcSection();
  RpcSection(const RpcSection &) = delete;
  RpcSection &operator=(const RpcSection &) = delete;

 private:
  NoCancel noCancel_;
};

// Registers the fork handlers, once per process (at the first connection).
void guardForks();

}  // namespace qel
