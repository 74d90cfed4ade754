// What holding SIGPIPE back costs: the hold alone, the hold when the host already blocks
// SIGPIPE (one system call instead of two), the query a check for an ignored SIGPIPE would
// need, and the small call with the host blocking SIGPIPE against the small call without.
#include <signal.h>

#include "protocol/sigpipe_guard.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

// Runs `batch` with SIGPIPE blocked by the "host" (the benchmark), as a host program may.
Batch hostBlocking(Batch batch) {
  return [batch](long count) {
    sigset_t pipe, saved;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &saved);
    const bool ok = batch(count);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return ok;
  };
}

bool holds(long count) {
  return repeat(count, [] {
    SigpipeGuard hold;
    return true;
  });
}

bool dispositionQueries(long count) {
  return repeat(count, [] {
    struct sigaction current {};
    return sigaction(SIGPIPE, nullptr, &current) == 0;
  });
}

}  // namespace

void sigpipeRows(const Bench &bench) {
  printSection("The SIGPIPE hold");
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  const auto alone = interleave({holds, hostBlocking(holds), dispositionQueries}, bench.plan);
  printRow({"hold alone (block, then restore the mask), us", oneCore.name, "-"},
           inMicroseconds(alone[0]), 3);
  printRow({"hold while the host blocks SIGPIPE, us", oneCore.name, "-"}, inMicroseconds(alone[1]),
           3);
  printRow({"query of the SIGPIPE disposition, us", oneCore.name, "-"}, inMicroseconds(alone[2]),
           3);
  const Server simd = bench.servers().back();
  if (!useLibraryWith(simd.program)) return;
  const auto calls = interleave({librarySmallCalls, hostBlocking(librarySmallCalls)}, bench.plan);
  printRow({"small call, library, us", oneCore.name, simd.name}, inMicroseconds(calls[0]), 2);
  printRow({"small call, library, host blocks SIGPIPE, us", oneCore.name, simd.name},
           inMicroseconds(calls[1]), 2);
  printRow({"  ratio host blocks / does not", oneCore.name, simd.name},
           combine(calls[1], calls[0], ratio), 3);
}

}  // namespace qel::bench
