// SPDX-License-Identifier: Apache-2.0
// What the tools' command lines share: the address a service listens on and the program number
// of the SP it serves.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace qel::tools {

struct ListenAddress {
  std::string host;  // "" for every address
  int port = 0;
};

// "HOST:PORT", "[V6ADDRESS]:PORT" or ":PORT" (every address); nothing for another text or a
// port outside 0 to 65535.
std::optional<ListenAddress> listenAddress(const std::string &text);

// The program number of `option` (decimal or 0x-hexadecimal, 1 to 4294967295), else of
// QELPROGID read as the library reads it (decimal), else the library's default; nothing when
// `option` is given and is not such a number.
std::optional<unsigned long> programNumber(const std::string &option);

// Reads `argv` into `app`: true when the program goes on; false once `status` holds the exit
// status: 0 after --help or --version (written to `out`), 64 for a wrong command line (the
// reason written to `err`).
bool parseCommandLine(CLI::App &app, int argc, const char *const *argv, std::ostream &out,
                      std::ostream &err, int &status);

}  // namespace qel::tools
