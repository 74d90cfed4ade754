// SPDX-License-Identifier: Apache-2.0
// The small call (qelPlatformGetState) through the library, through a plain libtirpc client with
// and without the SIGPIPE hold, and the ping-pong floor of the same byte counts, in the same
// rounds, per placement and server.
#include <linux/tcp.h>  // the tcp_info that counts bytes
#include <netinet/in.h>

#include <string>

#include "qel.h"
#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

struct WireBytes {
  double sent = 0, received = 0;
};

// Bytes per call on the wire, as TCP counts them on the client's socket (payload only).
WireBytes wireBytes(int fd, const Batch &calls) {
  constexpr long kCalls = 200;
  tcp_info before{}, after{};
  socklen_t size = sizeof before;
  getsockopt(fd, IPPROTO_TCP, TCP_INFO, &before, &size);
  if (!calls(kCalls)) return {};
  getsockopt(fd, IPPROTO_TCP, TCP_INFO, &after, &size);
  return {static_cast<double>(after.tcpi_bytes_acked - before.tcpi_bytes_acked) / kCalls,
          static_cast<double>(after.tcpi_bytes_received - before.tcpi_bytes_received) / kCalls};
}

std::string bytesText(const WireBytes &bytes) {
  return std::to_string(static_cast<long>(bytes.sent)) + " B out, " +
         std::to_string(static_cast<long>(bytes.received)) + " B back";
}

void rowsFor(const Bench &bench, const Placement &placement, const Server &server) {
  RawClient raw(server.program);
  if (!useLibraryWith(server.program) || !raw.ready()) {
    printRow({"small call: no connection", placement.name, server.name}, {}, 0);
    return;
  }
  int libraryFd = -1;
  clnt_control(libraryHandle(), CLGET_FD, reinterpret_cast<char *>(&libraryFd));
  const WireBytes ours = wireBytes(libraryFd, librarySmallCalls);
  const auto rawCalls = [&raw](bool held) {
    return [&raw, held](long n) { return repeat(n, [&] { return raw.smallCall(held); }); };
  };
  const WireBytes theirs = wireBytes(raw.fd(), rawCalls(true));
  PingPong floor(static_cast<std::size_t>(theirs.sent), static_cast<std::size_t>(theirs.received),
                 server.floorPeer, placement.serverCpu);
  const auto s = interleave({librarySmallCalls, rawCalls(false), rawCalls(true),
                             [&](long n) { return floor.roundTrips(n); }},
                            bench.plan);
  const auto label = [&](const std::string &what) {
    return RowLabel{what, placement.name, server.name};
  };
  const bool oneCore = placement.clientCpu == placement.serverCpu;
  printRow(label("small call, library (" + bytesText(ours) + "), us"), inMicroseconds(s[0]), 2);
  printRow(label("small call, raw client (" + bytesText(theirs) + "), us"), inMicroseconds(s[1]),
           2);
  printRow(label("small call, raw client + SIGPIPE hold, us"), inMicroseconds(s[2]), 2);
  printRow(label("ping-pong floor, same bytes, us"), inMicroseconds(s[3]), 2);
  printRow(label("  ratio library / raw + hold"), combine(s[0], s[2], ratio), 3,
           oneCore ? Target{Target::Kind::kAtMost, 1.03} : Target{});
  printRow(label("  ratio library / raw"), combine(s[0], s[1], ratio), 3);
  printRow(label("  ratio library / floor"), combine(s[0], s[3], ratio), 3,
           oneCore ? Target{Target::Kind::kAtMost, 1.5} : Target{});
}

}  // namespace

bool useLibraryWith(rpcprog_t program) {
  qelDisconnect();
  return qelConnect(nullptr, program) == RESULT_OK && librarySmallCalls(1);
}

bool librarySmallCalls(long count) {
  return repeat(count, [] {
    int state = 0;
    return qelPlatformGetState(&state) == RESULT_OK;
  });
}

bool onlySmallCalls(const Bench &bench, const std::string &who, long count) {
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  const rpcprog_t program = bench.simulator.program();
  RawClient raw(program);
  if (!useLibraryWith(program) || !raw.ready()) return false;
  if (who == "library") return librarySmallCalls(count);
  if (who == "raw" || who == "raw-held") {
    return repeat(count, [&raw, held = who == "raw-held"] { return raw.smallCall(held); });
  }
  const WireBytes bytes = wireBytes(
      raw.fd(), [&raw](long n) { return repeat(n, [&raw] { return raw.smallCall(true); }); });
  PingPong floor(static_cast<std::size_t>(bytes.sent), static_cast<std::size_t>(bytes.received),
                 Peer::kProcess, oneCore.serverCpu);
  return who == "floor" && floor.roundTrips(count);
}

void smallCallRows(const Bench &bench) {
  printSection("Small call: qelPlatformGetState, no argument, an int back");
  for (const Placement &placement : placements()) {
    bench.place(placement);
    for (const Server &server : bench.servers()) rowsFor(bench, placement, server);
  }
}

}  // namespace qel::bench
