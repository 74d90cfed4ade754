// SPDX-License-Identifier: Apache-2.0
// `qel-simd ctl`: the command-line client of a running server's control channel.
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>

namespace qel::simd {

inline constexpr int kCtlOk = 0;
inline constexpr int kCtlRefused = 1;      // the server answered with an error
inline constexpr int kCtlUnreachable = 2;  // no server answers on the control socket
inline constexpr int kCtlUsage = 64;       // the command line is wrong

// Runs `ctl` with its arguments (argv[0] is "ctl"); an exit status.
int runControlClient(int argc, char **argv);

// Writes a control reply for a person to read.
void printControlReply(const nlohmann::json &request, const nlohmann::json &reply,
                       std::ostream &out);

}  // namespace qel::simd
