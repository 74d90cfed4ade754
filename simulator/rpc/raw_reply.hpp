// SPDX-License-Identifier: Apache-2.0
// Reply bytes written by hand, for the faults that send something other than a good reply: the
// reply is rendered exactly as the RPC layer would send it, then cut or spoilt, and written on
// the connection's socket.
#pragma once

#include <rpc/rpc.h>

#include <cstddef>
#include <string>

namespace qel::simd {

// The record-marked reply that svc_sendreply would write for `results` on `transport`: record
// mark, reply header with the call's transaction id, results. Empty when it cannot be made.
std::string renderReply(SVCXPRT *transport, xdrproc_t codec, void *results);

// The first `length` bytes of `reply`, record mark included.
std::string cutReply(const std::string &reply, std::size_t length);

// `reply` with its header intact and its results replaced by three bytes: whatever the reply
// type, its first field cannot be read from them.
std::string garbleReply(const std::string &reply);

// Writes what the socket takes now. The bytes written, or -1 when the connection is gone.
long writeSome(int fd, const std::string &bytes, std::size_t from);

}  // namespace qel::simd
