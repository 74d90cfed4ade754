// qel-simd, the server users run, as a child process of the benchmark on a program number of
// its own, with its log quiet so that it does the work of serving and nothing else.
#pragma once

#include <rpc/rpc.h>
#include <sys/types.h>

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

 private:
  pid_t pid_ = -1;
  rpcprog_t program_ = 0;
  bool registered_ = false;
};

}  // namespace qel::bench
