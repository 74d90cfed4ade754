// SPDX-License-Identifier: Apache-2.0
// qel-simd, the server users run, as a child process of the benchmark on a program number of
// its own, with its log quiet so that it does the work of serving and nothing else.
#pragma once

#include <rpc/rpc.h>
#include <sys/types.h>

#include <string>

namespace qel::bench {

class Simulator {
 public:
  Simulator();
  ~Simulator();
  Simulator(const Simulator &) = delete;
  Simulator &operator=(const Simulator &) = delete;

  bool running() const { return registered_; }
  pid_t pid() const { return pid_; }
  rpcprog_t program() const { return program_; }
  // Its control socket, for `qel-simd ctl --socket`.
  const std::string &control() const { return control_; }

 private:
  pid_t pid_ = -1;
  rpcprog_t program_ = 0;
  std::string control_;
  bool registered_ = false;
};

}  // namespace qel::bench
