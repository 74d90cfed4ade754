// SPDX-License-Identifier: Apache-2.0
// The commands of each family, added below the root (or, for the watch, below `sensor` and for DNS
// below `net`).
#pragma once

#include "cli/command_table.hpp"

namespace qel::cli {

void addAdminCommands(CommandTable &table, CLI::App &root);
void addNetCommands(CommandTable &table, CLI::App &root);
void addDateCommands(CommandTable &table, CLI::App &root);
void addDnsCommands(CommandTable &table, CLI::App &net);
void addPlatformCommands(CommandTable &table, CLI::App &root);
void addReportCommands(CommandTable &table, CLI::App &root);
void addSensorCommands(CommandTable &table, CLI::App &root);
void addServerCommands(CommandTable &table, CLI::App &root);
void addSensorWatch(CommandTable &table, CLI::App &sensor);

}  // namespace qel::cli
