// Arbitrary bytes served as the management server's result to a remote operation, through a
// real socket: the first byte picks the operation, the rest is the result that follows an
// accepted reply header. Whatever comes back, the operation must return without crashing or
// leaking, and the thread holds a handle exactly when a reply was decoded (where the operation
// lets that be seen).
#include <cstdlib>

#include "fuzz_operations.hpp"
#include "fuzz_server.hpp"
#include "qel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using qel::fuzz::RemoteOperation;
  if (size == 0) return 0;
  const auto &operations = qel::fuzz::remoteOperations();
  const RemoteOperation &operation = operations[data[0] % operations.size()];
  qel::fuzz::fuzzServer().answer(operation.procedure,
                                 qel::test::Reply::body(qel::test::Bytes(data + 1, data + size)));

  const unsigned int result = operation.run();
  const bool dropped = qel::fuzz::threadHandle() == nullptr;
  switch (operation.handle) {
    case RemoteOperation::Handle::kDroppedOnFailure:
      if (dropped != (result == RESULT_CALL_FAILED)) std::abort();
      break;
    case RemoteOperation::Handle::kAlwaysDropped:
      if (!dropped) std::abort();
      break;
    case RemoteOperation::Handle::kUnknown:
      break;
  }
  return 0;
}
