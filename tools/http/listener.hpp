// SPDX-License-Identifier: Apache-2.0
// The listening socket.
#pragma once

#include <string>

namespace qel::http {

// A non-blocking TCP socket listening on `host` and `port` (see Server::listen), or -1 with a
// reason. SO_REUSEADDR only: a port another socket listens on is an error.
int openListener(const std::string &host, int port, std::string &error);

// The port `fd` is bound to, or 0.
int boundPort(int fd);

}  // namespace qel::http
