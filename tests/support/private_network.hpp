// SPDX-License-Identifier: Apache-2.0
// A network of the test's own, for tests that stop the port mapper or change the network: the
// machine's rpcbind and network are never touched.
#pragma once

#include <sys/types.h>

namespace qel::test {

// Moves the calling process (single-threaded) into a network namespace of its own with its
// loopback up, and a mount namespace with a /run of its own (where the port mapper keeps its
// socket and state): a port mapper started afterwards shares nothing with the machine's.
// False when this cannot be done here (not root, no namespaces).
bool isolate();

// Waits (bounded) until the loopback port mapper port accepts connections (`up`), or refuses
// them.
bool portMapperAnswers(bool up);

// rpcbind in warm-start mode (a restart keeps the registrations), in the foreground; -1 when it
// did not start.
pid_t startPortMapper();
void stopPortMapper(pid_t pid);

}  // namespace qel::test
