// SPDX-License-Identifier: Apache-2.0
// Creating a thread's handle: the port mapper lookup and the connection to the server.
#pragma once

#include <type_traits>

#include "qel.h"

namespace qel {

// The longest a creation may take, from the moment it starts (under the host's connection
// lock) until the handle is made: the port mapper's answer and both connections within it.
inline constexpr timeval kCreationTimeout{25, 0};

// Why a creation failed, in the RPC layer's own terms (its rpc_createerr): a system error with
// its errno for a refused or failed connection (to the port mapper or to the server), one with
// ETIMEDOUT for a connection not made in time; RPC_PMAPFAILURE with the lookup call's error for
// a port mapper that did not answer in time or answered nonsense; RPC_PROGNOTREGISTERED when
// the port mapper knows no such program; RPC_UNKNOWNHOST when the name does not resolve.
using CreationError = std::remove_reference_t<decltype(rpc_createerr)>;

// A handle of the library's own for `program`, `version` over TCP on `host`, or null with
// `error` set. Called under the host's connection lock; the handle's socket is close-on-exec.
CLIENT *createClient(const char *host, rpcprog_t program, rpcvers_t version, CreationError &error);

}  // namespace qel
