// SPDX-License-Identifier: Apache-2.0
// The floor under any call on this machine: a TCP ping-pong on loopback that moves the same
// byte counts as a call and its reply, TCP_NODELAY on both ends, with nothing else to do. The
// peer is a thread of this process (the floor of an in-process server) or a child process
// (the floor of a server process such as qel-simd), pinned to the server's CPU.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <thread>
#include <vector>

namespace qel::bench {

enum class Peer { kThread, kProcess };

class PingPong {
 public:
  PingPong(std::size_t requestBytes, std::size_t replyBytes, Peer peer, int peerCpu);
  ~PingPong();
  PingPong(const PingPong &) = delete;
  PingPong &operator=(const PingPong &) = delete;

  // `count` requests out and replies back, one after the other; false when the peer is gone.
  bool roundTrips(long count);
  int clientFd() const { return client_; }

 private:
  std::vector<char> request_, reply_;
  int client_ = -1;
  std::thread thread_;
  pid_t child_ = -1;
};

}  // namespace qel::bench
