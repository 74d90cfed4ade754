// SPDX-License-Identifier: Apache-2.0
// A port mapper of the test's own, started after isolate() (child_process.hpp), for tests that
// stop it or change the network: the machine's rpcbind is never touched.
#pragma once

#include <sys/types.h>

namespace qel::test {

// Waits (bounded) until the loopback port mapper port accepts connections (`up`), or refuses
// them.
bool portMapperAnswers(bool up);

// rpcbind in warm-start mode (a restart keeps the registrations), in the foreground; -1 when it
// did not start.
pid_t startPortMapper();
void stopPortMapper(pid_t pid);

}  // namespace qel::test
