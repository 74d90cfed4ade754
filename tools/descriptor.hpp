// SPDX-License-Identifier: Apache-2.0
// A file descriptor with one owner, closed when the owner goes.
#pragma once

#include <unistd.h>

namespace qel::tools {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace qel::tools
