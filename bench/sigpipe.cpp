// SPDX-License-Identifier: Apache-2.0
// What holding SIGPIPE back around a call costs: the hold alone. The raw client pays it on
// every call; the library's calls write with MSG_NOSIGNAL and need none.
#include "lib/transport/sigpipe_guard.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

bool holds(long count) {
  return repeat(count, [] {
    SigpipeGuard hold;
    return true;
  });
}

}  // namespace

void sigpipeRows(const Bench &bench) {
  printSection("The SIGPIPE hold");
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  const auto alone = interleave({holds}, bench.plan);
  printRow({"hold alone (block, then restore the mask), us", oneCore.name, "-"},
           inMicroseconds(alone[0]), 3);
}

}  // namespace qel::bench
