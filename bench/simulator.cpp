// SPDX-License-Identifier: Apache-2.0
#include "simulator.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace qel::bench {
namespace {

bool registered(rpcprog_t program) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return pmap_getport(&address, program, 1, IPPROTO_TCP) != 0;
}

}  // namespace

Simulator::Simulator()
    : program_(0x40000000u + static_cast<rpcprog_t>(getpid() & 0xFFFFF)),
      control_("/tmp/qel-bench-" + std::to_string(program_) + ".sock") {
  const std::string program = std::to_string(program_);
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // not left behind by a benchmark that crashed
    execl(QEL_SIMD_PATH, "qel-simd", "--foreground", "--log-level", "0", "--program",
          program.c_str(), "--control", control_.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  // The server says nothing when it is ready in the foreground; the port mapper does.
  for (int tries = 0; tries < 500 && pid_ > 0 && !registered_; ++tries) {
    registered_ = registered(program_);
    if (!registered_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Simulator::~Simulator() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace qel::bench
