// The remote operations that the reply fuzzer serves arbitrary bytes to.
#pragma once

#include <cstdint>
#include <vector>

namespace qel::fuzz {

struct RemoteOperation {
  uint32_t procedure;
  // Calls the operation with every output given, releases what it handed out and returns its
  // result code.
  unsigned int (*run)();
  // What the thread's handle must look like afterwards: dropped exactly when the call failed,
  // dropped always, or not telling (the operation hides a failed call).
  enum class Handle { kDroppedOnFailure, kAlwaysDropped, kUnknown } handle;
};

const std::vector<RemoteOperation> &remoteOperations();

}  // namespace qel::fuzz
