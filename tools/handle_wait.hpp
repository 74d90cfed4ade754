// SPDX-License-Identifier: Apache-2.0
// How long a call of this thread's library connection may wait for its reply. The library
// honours a wait set on the thread's handle (reached through its thread key) for every later
// call, until the handle is dropped; a tool that answers within a bound of its own sets it
// before its calls.
#pragma once

#include <chrono>

namespace qel::tools {

// Gives this thread's handle the wait `wait`, cut to whole tenths of a second when it is a
// tenth or more, so that the calls of one bound mostly find the handle's setting as it is.
// False when the thread has no handle.
bool setHandleWait(std::chrono::microseconds wait);

}  // namespace qel::tools
