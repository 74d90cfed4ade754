// SPDX-License-Identifier: Apache-2.0
// qelctl as a function: parses the command line, runs the chosen command, returns the exit
// status.
#pragma once

#include <ostream>

#include "cli/command_table.hpp"
#include "cli/session.hpp"

namespace qel::cli {

// The global options and every command, below `app`.
void addCommands(CLI::App &app, GlobalOptions &options, CommandTable &table);

int run(int argc, const char *const *argv, std::ostream &out, std::ostream &err);

}  // namespace qel::cli
