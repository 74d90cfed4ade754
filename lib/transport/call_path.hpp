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

#include <netinet/in.h>
#include <sys/types.h>

#include <chrono>

#include "qel.h"
// After the RPC layer's main header (in qel.h), whose types it uses.
#include <rpc/pmap_prot.h>

namespace qel {

// A handle over `tcp` (a client the RPC layer created over TCP, which the handle takes over),
// or null with `tcp` destroyed when no memory is left for it.
CLIENT *withOwnCallPath(CLIENT *tcp);

// The record stream's buffers of a handle, each way: the RPC layer's for a TCP client.
inline constexpr u_int kStreamBufferSize = 64 * 1024;

// A handle over `fd`, a TCP connection to `server` that the library made itself and that the
// handle takes over, or null with `fd` closed when no memory is left for it.
CLIENT *handleOver(int fd, const sockaddr_in &server, rpcprog_t program, rpcvers_t version,
                   u_int bufferSize = kStreamBufferSize);

// Asks the port mapper at the other end of `fd` (a connection the caller keeps) for the TCP
// port of `query`'s program and version in a call with transaction id `xid`, all by
// `deadline`, over the same call path as a handle's. RPC_SUCCESS with `port` set (0: not
// registered), or the failure with `error`.
clnt_stat askPortMapper(int fd, pmap query, uint32_t xid,
                        std::chrono::steady_clock::time_point deadline, unsigned short &port,
                        rpc_err &error);

// A transaction id for a first call that differs from process to process and from call to
// call, as the RPC layer's do.
uint32_t firstXid();

// Whether `clnt` is such a handle: its calls write nothing that could raise SIGPIPE.
bool hasOwnCallPath(const CLIENT *clnt);

// The process such a handle was created in, as recorded when it was created.
pid_t createdIn(const CLIENT *clnt);
void recordCreation(CLIENT *clnt, pid_t process);

}  // namespace qel
