// SPDX-License-Identifier: Apache-2.0
// The catalogue of remote operations: one row per exported operation that makes a call, with
// its procedure number written out, the request it must send, a good reply and its reply
// convention. The frame matrix, the malformed-reply matrix, the allocation failures, the fuzz
// target and the simulator's end-to-end table all run from it; a new operation is one row.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "qel.h"
#include "scripted_server.hpp"

namespace qel::test {

// The outputs of one call, carved from a block filled with a poison pattern that no call
// writes whole: a failed call must leave every byte as it was. Slots may carry the value a
// good reply must put there; heap texts and blocks handed out are freed at the end.
class Outputs {
 public:
  static constexpr unsigned char kPoison = 0xA5;
  Outputs() { std::memset(block_, kPoison, sizeof block_); }
  ~Outputs();
  Outputs(const Outputs &) = delete;
  Outputs &operator=(const Outputs &) = delete;

  template <typename T>
  T *slot() {
    used_ = (used_ + alignof(T) - 1) / alignof(T) * alignof(T);
    T *place = reinterpret_cast<T *>(block_ + used_);
    used_ += sizeof(T);
    return place;
  }
  // A slot that a good reply fills with `expected`.
  template <typename T>
  T *value(T expected) {
    return check<T>([expected](T *at) { return std::memcmp(at, &expected, sizeof(T)) == 0; });
  }
  // A slot that a good reply must write, with no one value expected.
  template <typename T>
  T *filled() {
    return check<T>([](T *at) { return !poisoned(at, sizeof(T)); });
  }
  char **text(const char *expected);
  unsigned char **block();
  char ***list(unsigned int *count);

  bool untouched() const;
  // Some text output holds null: where a copy for the caller failed.
  bool someTextNull() const;
  // Every slot with an expected value holds it.
  bool asExpected() const;
  // The first slot, read as an int.
  int firstInt() const { return *reinterpret_cast<const int *>(block_); }

 private:
  static bool poisoned(const void *place, std::size_t size);
  template <typename T>
  T *check(std::function<bool(T *)> holds) {
    T *place = slot<T>();
    checks_.push_back([place, holds] { return holds(place); });
    return place;
  }
  alignas(16) unsigned char block_[1024];
  std::size_t used_ = 0;
  std::vector<std::function<bool()>> checks_;
  std::vector<std::function<void()>> releases_;
  std::vector<char **> texts_;
};

enum class Convention {
  kStatus,              // the reply integer is the result
  kStop,                // a status reply, and the handle is dropped in every case
  kQuietStatus,         // a status reply, but no connection or no reply gives 0
  kSigned,              // minus a code, or the value; the output only written for a value
  kSignedZeroOnError,   // the same, with 0 written on a code
  kZeroRejected,        // the value is always stored; 0 gives 4
  kRecord,              // errorCode, outputs written only when it is 0
  kRecordAlwaysCopied,  // errorCode, outputs written whatever it is
  kText,                // a bare text handed back instead of a result
};

struct Operation {
  const char *name;
  // The procedures called, in order; the last one is the operation's own, the ones before it
  // get their good reply from `before`.
  std::vector<uint32_t> procedures;
  Bytes request;  // the argument of the operation's own procedure
  // The reply of the operation's own procedure carrying `code` (0: the good reply).
  Bytes (*reply)(int32_t code);
  Convention convention;
  // Calls the operation with its outputs in `out`; returns its result (kText: 0 when the
  // expected text came back, 2 for null).
  unsigned int (*call)(Outputs &out);
  Bytes before = {};                  // the good reply of the earlier procedures
  std::vector<Bytes> oversized = {};  // replies announcing more than they carry or may carry
};

const std::vector<Operation> &operations();

// Answers the earlier procedures of `op` with their good reply, and its own with `reply`
// (`once`: for the next call only).
void script(ScriptedServer &server, const Operation &op, const Reply &reply, bool once = false);

}  // namespace qel::test
