// SPDX-License-Identifier: Apache-2.0
// A peer that answers calls badly, for the library's creation and call waits: a port mapper or
// server on 127.0.0.1 that reads each call record and then says nothing, trickles its answer,
// answers other calls for ever, or answers properly; and a listener whose accept queue is full.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "xdr_bytes.hpp"

namespace qel::test {

// How the peer treats one connection, after reading its first call record.
struct PeerScript {
  enum class Kind {
    kSilent,    // never answers
    kAnswer,    // answers the call with `value` (a port mapper's port, an int result)
    kTrickle,   // the same answer, one byte every `every`
    kWrongXid,  // an answer to another call every `every`, for ever
  };
  Kind kind = Kind::kSilent;
  uint32_t value = 0;
  std::chrono::milliseconds every{0};
};

// The record, with its mark, that accepts call `xid` with the result `value`.
Bytes acceptedReply(uint32_t xid, uint32_t value);

class FakePeer {
 public:
  // Listens on 127.0.0.1:`port` (0: a free port) and treats the n-th connection by scripts[n],
  // the later ones by the last script.
  FakePeer(uint16_t port, std::vector<PeerScript> scripts);
  ~FakePeer();
  FakePeer(const FakePeer &) = delete;
  FakePeer &operator=(const FakePeer &) = delete;

  uint16_t port() const { return port_; }
  // Whether it listens.
  bool ok() const { return listener_ >= 0; }

 private:
  void acceptLoop();
  void serve(int fd, PeerScript script);
  // Sleeps `d`, or less when the peer stops: false then.
  bool pause(std::chrono::milliseconds d);

  std::vector<PeerScript> scripts_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<int> connections_;
  std::list<std::thread> workers_;
  std::thread acceptor_;
};

// A listener on 127.0.0.1 that never accepts, with its accept queue filled: a connect to it gets
// no answer at all.
class FullListener {
 public:
  FullListener();
  ~FullListener();
  FullListener(const FullListener &) = delete;
  FullListener &operator=(const FullListener &) = delete;
  uint16_t port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  uint16_t port_ = 0;
};

}  // namespace qel::test
