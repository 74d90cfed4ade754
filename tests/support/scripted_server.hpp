// SPDX-License-Identifier: Apache-2.0
// A real ONC RPC server on 127.0.0.1 for end-to-end tests: registered with rpcbind under a
// random program number, answering each procedure as the test scripts it, logging every call
// it receives, and misbehaving on request.
#pragma once

#include <rpc/rpc.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "loopback.hpp"
#include "xdr_bytes.hpp"

namespace qel::test {

// What the server does with one call.
struct Reply {
  enum class Kind {
    kBody,         // an accepted, successful reply carrying `bytes` as its result
    kDrop,         // close the connection without answering
    kHang,         // never answer; the connection stays open
    kProcUnavail,  // the RPC layer's "procedure unavailable"
  };
  Kind kind = Kind::kBody;
  Bytes bytes;

  static Reply body(Bytes b) { return {Kind::kBody, std::move(b)}; }
  static Reply integer(int32_t value) { return body(encodeInt(value)); }
  template <typename T>
  static Reply record(bool_t (*codec)(XDR *, T *), const T &value) {
    return body(encode(codec, value));
  }
  static Reply drop() { return {Kind::kDrop, {}}; }
  static Reply hang() { return {Kind::kHang, {}}; }
  static Reply procUnavail() { return {Kind::kProcUnavail, {}}; }
  // The first `keep` bytes of a result only: a reply cut short.
  Reply cutTo(std::size_t keep) const {
    return {kind, Bytes(bytes.begin(), bytes.begin() + std::min(keep, bytes.size()))};
  }
};

// One call as the server received it.
struct ReceivedCall {
  uint32_t program = 0, version = 0, procedure = 0;
  Bytes arguments;  // the encoded argument, as it arrived
  int connection = 0;
};

class ScriptedServer {
 public:
  ScriptedServer() : ScriptedServer(freeProgram()) {}
  // Registers under `program` (one that a server shut down before may have held): the same
  // service coming back, on a new port.
  explicit ScriptedServer(uint32_t program);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer &) = delete;
  ScriptedServer &operator=(const ScriptedServer &) = delete;

  uint32_t program() const { return program_; }
  uint16_t port() const { return port_; }

  // Every later call of `procedure` gets what `make` makes of it (until changed).
  void answerWith(uint32_t procedure, std::function<Reply(const ReceivedCall &)> make);
  // Every later call of `procedure` gets `reply`: one object, not copied per call.
  void answer(uint32_t procedure, Reply reply);
  // The next call of `procedure` gets `reply`; queued replies go before the standing answer.
  void answerOnce(uint32_t procedure, Reply reply);
  // Whether calls are logged (on by default); benchmarks turn it off.
  void keepLog(bool keep);

  std::vector<ReceivedCall> calls() const;
  std::vector<ReceivedCall> callsOf(uint32_t procedure) const;
  std::size_t callCount() const { return calls().size(); }
  void clearLog();

  int connectionsAccepted() const;
  // Waits (bounded) until exactly `count` connections are open; true when reached.
  bool waitForOpenConnections(int count, std::chrono::milliseconds limit) const;

  // Removes the registration and closes every connection, as a server that died would.
  void shutDown();

 private:
  using Responder = std::function<std::shared_ptr<const Reply>(const ReceivedCall &)>;
  struct Worker {
    std::thread thread;
    bool finished = false;
  };
  void acceptLoop();
  void serve(int fd, int id, Worker &self);
  bool handle(int fd, const Bytes &record, int id);
  std::shared_ptr<const Reply> nextReply(const ReceivedCall &call);

  uint32_t program_ = 0;
  uint16_t port_ = 0;
  int listener_ = -1;
  bool registered_ = false;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<uint32_t, Responder> standing_;
  std::map<uint32_t, std::deque<Reply>> queued_;
  std::vector<ReceivedCall> log_;
  std::vector<int> connectionFds_;
  int accepted_ = 0, open_ = 0;
  bool stopping_ = false, keepLog_ = true;

  std::thread acceptor_;
  // One per connection; a worker whose connection ended is joined at the next accept, so a
  // long run of reconnecting clients does not pile up threads.
  std::list<Worker> workers_;
};

}  // namespace qel::test
