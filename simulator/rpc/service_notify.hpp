// SPDX-License-Identifier: Apache-2.0
// Tells a service manager that started the server (a unit of Type=notify) how it is doing.
#pragma once

namespace qel::simd {

// Sends `state` ("READY=1", "STOPPING=1") as one datagram to the socket named by
// NOTIFY_SOCKET: a path, or an abstract name written with a leading '@'. Without the variable
// there is no manager to tell and nothing is sent. False when the message could not be sent.
bool notifyServiceManager(const char *state);

}  // namespace qel::simd
