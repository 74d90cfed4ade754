// SPDX-License-Identifier: Apache-2.0
// What the tools' command lines share: the address a service listens on, the program number of
// the SP it serves, and how a command line becomes settings or an exit status.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "tools/result_names.hpp"

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

// parseCommandLine, then `settingsOf(reason)`, which makes the program's settings of what was
// read or says in `reason` why it cannot: the settings, or nothing once `status` holds the exit
// status (64 for such a reason, written to `err` after the program's name).
template <typename SettingsOf>
auto readCommandLine(CLI::App &app, int argc, const char *const *argv, std::ostream &out,
                     std::ostream &err, int &status, const SettingsOf &settingsOf)
    -> decltype(settingsOf(std::declval<std::string &>())) {
  if (!parseCommandLine(app, argc, argv, out, err, status)) return std::nullopt;
  std::string reason;
  auto settings = settingsOf(reason);
  if (!settings) {
    err << app.get_name() << ": " << reason << '\n';
    status = kExitUsage;
  }
  return settings;
}

}  // namespace qel::tools
