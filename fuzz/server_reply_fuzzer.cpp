// Arbitrary bytes served as the management server's result to a remote operation, through a
// real socket: the first byte picks the operation, the rest is the result that follows an
// accepted reply header. Whatever comes back, the operation must return without crashing or
// leaking, and the thread holds a handle exactly when a reply was decoded (where the operation
// lets that be seen).
#include <cstdlib>
#include <memory>

#include "fuzz_operations.hpp"
#include "qel.h"
#include "scripted_server.hpp"

namespace {

using qel::test::Reply;
using qel::test::ScriptedServer;

CLIENT *threadHandle() { return static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)); }

ScriptedServer &server() {
  static ScriptedServer *instance = [] {
    auto *created = new ScriptedServer;
    if (qelConnect("127.0.0.1", created->program()) != RESULT_OK) std::abort();
    return created;
  }();
  return *instance;
}

// A result cut short fails at once; only a reply that never completes waits, so keep that wait
// short in case the RPC layer ever reads past the record.
void shortenTimeout() {
  timeval oneSecond{1, 0};
  clnt_control(threadHandle(), CLSET_TIMEOUT, reinterpret_cast<char *>(&oneSecond));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const auto &operations = qel::fuzz::remoteOperations();
  const qel::fuzz::RemoteOperation &operation = operations[data[0] % operations.size()];

  ScriptedServer &scripted = server();
  scripted.clearLog();
  scripted.answer(operation.procedure, Reply::body(qel::test::Bytes(data + 1, data + size)));
  if (qelConnect(nullptr, 0) != RESULT_OK) std::abort();
  shortenTimeout();

  using Handle = qel::fuzz::RemoteOperation::Handle;
  const unsigned int result = operation.run();
  const bool dropped = threadHandle() == nullptr;
  switch (operation.handle) {
    case Handle::kDroppedOnFailure:
      if (dropped != (result == RESULT_CALL_FAILED)) std::abort();
      break;
    case Handle::kAlwaysDropped:
      if (!dropped) std::abort();
      break;
    case Handle::kUnknown:
      break;
  }
  return 0;
}
