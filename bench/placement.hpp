// SPDX-License-Identifier: Apache-2.0
// Where the two ends of a measurement run. On a virtual machine a round trip between two cores
// costs several times one on a single core, and an unpinned run drifts between the two, so
// every row pins its client and its server explicitly.
#pragma once

#include <sys/types.h>

#include <vector>

namespace qel::bench {

struct Placement {
  const char *name;
  int clientCpu;
  int serverCpu;
};

// "one core" always; "two cores" (client on CPU 0, server on CPU 1) where the machine has them.
std::vector<Placement> placements();

// Pins the calling thread; threads it starts afterwards inherit the CPU.
bool pinThread(int cpu);
// Pins every thread of process `pid` (this process included).
bool pinProcess(pid_t pid, int cpu);
// An in-process server: its threads on the server CPU, the calling thread on the client's.
void placeHere(const Placement &placement);

// Processor time (user and system) that process `pid` has used so far, in nanoseconds.
double cpuTimeNs(pid_t pid);

}  // namespace qel::bench
