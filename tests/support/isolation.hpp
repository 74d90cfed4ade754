// Running a piece of a test where the machine's port mapper cannot be reached.
#pragma once

#include <functional>

namespace qel::test {

// Runs `body` in a child process, moved into a new network namespace whose loopback is up and
// which has no port mapper. `body` may set up what it needs before it calls the `isolate`
// function it is given (sockets opened before then stay in the machine's network); the child
// exits with what `body` returns (0 to 199). Returns that status, or -1 when network namespaces
// are not permitted here.
int inEmptyNetwork(const std::function<int(const std::function<bool()> &isolate)> &body);

// The common case: the whole of `body` runs in the empty network.
int inEmptyNetwork(int (*body)());

}  // namespace qel::test
