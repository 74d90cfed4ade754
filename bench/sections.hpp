// SPDX-License-Identifier: Apache-2.0
// What every section of the table shares: the round plan, the two servers, and where each runs.
#pragma once

#include <rpc/rpc.h>

#include <string>
#include <vector>

#include "ping_pong.hpp"
#include "placement.hpp"
#include "rounds.hpp"
#include "scripted_server.hpp"
#include "simulator.hpp"

namespace qel::bench {

// A server the rows run against: the scripted server in this process or qel-simd.
struct Server {
  const char *name;
  rpcprog_t program;
  Peer floorPeer;  // the ping-pong peer that stands for it: a thread or a process
};

struct Bench {
  RoundPlan plan;
  test::ScriptedServer &scripted;
  Simulator &simulator;

  std::vector<Server> servers() const {
    return {{"scripted", scripted.program(), Peer::kThread},
            {"qel-simd", simulator.program(), Peer::kProcess}};
  }
  // Both servers on the placement's server CPU, the calling thread on its client CPU.
  void place(const Placement &placement) const {
    placeHere(placement);
    pinProcess(simulator.pid(), placement.serverCpu);
  }
};

// Points the calling thread's library connection at `program`.
bool useLibraryWith(rpcprog_t program);
// `count` small calls through the library (qelPlatformGetState).
bool librarySmallCalls(long count);

void smallCallRows(const Bench &bench);
// Only `count` small calls of one contender (library, raw, raw-held or floor) against qel-simd
// on one core, for counting system calls from outside.
bool onlySmallCalls(const Bench &bench, const std::string &who, long count);
void sigpipeRows(const Bench &bench);
void reportRows(const Bench &bench);
void scaleRows(const Bench &bench);
void codecRows(const Bench &bench);
void heapRows(const Bench &bench);
void connectRows(const Bench &bench);
// qel-exporter's scrape against as many small calls, and its resident size over many scrapes.
void exporterRows(const Bench &bench);
// The tools' HTTP server: a small GET kept alive, plain and TLS.
void httpRows(const Bench &bench);
// qel-redfishd's GET of one sensor and of the Sensors collection against the calls they make.
void redfishRows(const Bench &bench);

}  // namespace qel::bench
