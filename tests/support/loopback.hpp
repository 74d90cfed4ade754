// SPDX-License-Identifier: Apache-2.0
// This machine's loopback for the tests: its address, and program numbers and ports that are
// free on it.
#pragma once

#include <netinet/in.h>

#include <cstdint>

namespace qel::test {

// 127.0.0.1, port 0.
sockaddr_in loopback();
// Whether `program` version 1 over TCP is registered with the local port mapper.
bool registered(uint32_t program);
// A random program number from the transient range that nothing has registered.
uint32_t freeProgram();
// A TCP port of 127.0.0.1 that nothing listens on now, for a program the caller starts.
int freePort();

// Two ends of a new TCP connection over 127.0.0.1, both close-on-exec: {the connecting end, the
// accepted end}; -1 for an end that could not be had.
struct ConnectedPair {
  int client = -1;
  int server = -1;
};
ConnectedPair connectedPair();

}  // namespace qel::test
