// SPDX-License-Identifier: Apache-2.0
// A call on a thread's handle, whichever kind it is: the library's own (lib/transport/
// call_path.hpp), or one the host stored in the thread's slot itself.
#pragma once

#include "qel.h"

namespace qel {

// The wait of every call unless the handle carries one of its own (CLSET_TIMEOUT), from the
// moment the call starts sending until its reply is read.
inline constexpr timeval kCallTimeout{25, 0};

// Runs CLNT_CALL; true on RPC_SUCCESS. A write on a connection the server has dropped must not
// kill the host program: the library's own handles never raise SIGPIPE, and around any other
// handle SIGPIPE is held back and one raised meanwhile taken back.
bool callProcedure(CLIENT *clnt, rpcproc_t number, xdrproc_t argCodec, void *argp,
                   xdrproc_t replyCodec, void *reply);

// Makes `timeout` the wait of every later call on `clnt`, as CLSET_TIMEOUT does.
bool setCallTimeout(CLIENT *clnt, timeval timeout);

}  // namespace qel
