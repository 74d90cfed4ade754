// SPDX-License-Identifier: Apache-2.0
// The call path of the library's handles.
//
// The RPC layer's TCP client masks every signal around each call (two system calls) and writes
// with write(), which raises SIGPIPE on a connection the server has dropped, so that a caller
// must hold SIGPIPE around it (two more). A handle of the library keeps the RPC layer's client
// for creation, the descriptor and destruction, and makes the call itself: the same bytes on
// the wire, written with MSG_NOSIGNAL, read with the same per-read timeout, replies matched by
// transaction id and decoded by the same codecs. A call is then one send and one read.
#pragma once

#include "qel.h"

namespace qel {

// A handle over `tcp` (a client the RPC layer created over TCP, which the handle takes over),
// or null with `tcp` destroyed when no memory is left for it.
CLIENT *withOwnCallPath(CLIENT *tcp);

// Whether `clnt` is such a handle: its calls write nothing that could raise SIGPIPE.
bool hasOwnCallPath(const CLIENT *clnt);

}  // namespace qel
