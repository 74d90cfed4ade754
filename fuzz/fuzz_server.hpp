// SPDX-License-Identifier: Apache-2.0
// The scripted server that fuzz targets talk to: one per process, with the calling thread
// pointed at it.
#pragma once

#include "scripted_server.hpp"

namespace qel::fuzz {

// The server; the first use starts it and connects the calling thread. Later uses reconnect the
// thread when a failed call dropped its handle, with a short total timeout on the handle so that
// a reply that never completes costs little.
test::ScriptedServer &fuzzServer();

// The calling thread's handle, or null.
CLIENT *threadHandle();

}  // namespace qel::fuzz
