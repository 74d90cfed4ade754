// SPDX-License-Identifier: Apache-2.0
// A connection and its first call: qelConnect and the small call against clnt_create and the
// same call. Both ask the machine's port mapper, which the benchmark does not pin.
#include "qel.h"
#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {

void connectRows(const Bench &bench) {
  printSection("Connection set-up with the first call (the port mapper is not pinned)");
  for (const Placement &placement : placements()) {
    bench.place(placement);
    const Server simd = bench.servers().back();
    const auto library = [&](long n) {
      return repeat(n, [&] {
        const bool ok = useLibraryWith(simd.program);
        qelDisconnect();
        return ok;
      });
    };
    const auto raw = [&](long n) {
      return repeat(n, [&] { return RawClient(simd.program).smallCall(true); });
    };
    const auto s = interleave({library, raw}, bench.plan);
    printRow({"connect + first call, library, us", placement.name, simd.name}, inMicroseconds(s[0]),
             1);
    printRow({"connect + first call, raw client, us", placement.name, simd.name},
             inMicroseconds(s[1]), 1);
    printRow({"  ratio library / raw", placement.name, simd.name}, combine(s[0], s[1], ratio), 3);
  }
}

}  // namespace qel::bench
