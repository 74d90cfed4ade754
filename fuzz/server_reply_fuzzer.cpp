// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes served as the management server's result to a remote operation of the
// catalogue, through a real socket: the first byte picks the operation, the rest is the result
// that follows an accepted reply header. Whatever comes back, the operation returns without
// crashing or leaking. A dropped handle means no reply was taken: the result is the missing
// reply's and no output was written. (A kept handle tells nothing: a well-formed reply may carry
// any code, 2 included.)
#include <cstdlib>

#include "fuzz_server.hpp"
#include "operations.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using qel::test::Convention;
  using qel::test::Reply;
  if (size == 0) return 0;
  const auto &operations = qel::test::operations();
  const qel::test::Operation &op = operations[data[0] % operations.size()];
  qel::test::ScriptedServer &server = qel::fuzz::fuzzServer();
  qel::test::script(server, op, Reply::body(qel::test::Bytes(data + 1, data + size)));

  qel::test::Outputs out;
  const unsigned int result = op.call(out);
  const bool dropped = qel::fuzz::threadHandle() == nullptr;
  if (op.convention == Convention::kStop) {
    if (!dropped) std::abort();
    return 0;
  }
  const unsigned int missingReply = op.convention == Convention::kQuietStatus ? 0 : 2;
  if (dropped && (result != missingReply || !out.untouched())) std::abort();
  return 0;
}
