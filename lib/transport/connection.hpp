// SPDX-License-Identifier: Apache-2.0
// The calling thread's client handle.
#pragma once

#include "qel.h"

namespace qel {

// The calling thread's handle, or null.
CLIENT *threadHandle();

// The connection step of every remote operation: the thread's handle, opened when it has none.
// Returns 0 with *handle set, or the connection's result code.
unsigned int connectionStep(CLIENT **handle);

}  // namespace qel
