// SPDX-License-Identifier: Apache-2.0
// Creating a thread's TCP client: the port mapper lookup and the connection to the server.
#pragma once

#include "qel.h"

namespace qel {

// A TCP client for `program`, `version` on `host`, or null with the RPC layer's creation error
// (rpc_createerr) set as the RPC layer's own clnt_create sets it: a system error with its errno
// for a refused or failed connection (to the port mapper or to the server), RPC_PROGNOTREGISTERED
// when the port mapper knows no such program, RPC_UNKNOWNHOST when the name does not resolve.
// Called under the host's connection lock; the client's socket is close-on-exec.
CLIENT *createTcpClient(const char *host, rpcprog_t program, rpcvers_t version);

}  // namespace qel
