// The floor under any RPC on this machine: a TCP ping-pong on loopback moving the same byte
// counts as a call and its reply, with nothing else to do.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

namespace qel::bench {

class LoopbackPingPong {
 public:
  LoopbackPingPong(std::size_t requestBytes, std::size_t replyBytes);
  ~LoopbackPingPong();
  LoopbackPingPong(const LoopbackPingPong &) = delete;
  LoopbackPingPong &operator=(const LoopbackPingPong &) = delete;

  // One request out, one reply back; false when the peer is gone.
  bool roundTrip();

 private:
  std::vector<char> request_, reply_;
  int listener_ = -1, client_ = -1;
  std::thread peer_;
};

}  // namespace qel::bench
