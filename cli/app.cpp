// SPDX-License-Identifier: Apache-2.0
#include "cli/app.hpp"

#include <qel.h>

#include <cstdint>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/commands.hpp"
#include "lib/protocol/procedures.hpp"
#include "tools/result_names.hpp"

namespace qel::cli {
namespace {

constexpr const char *kExitStatuses =
    "Exit status:\n"
    "  0   success\n"
    "  1   the management server refused the request with a code of its own\n"
    "  2   the library failed (a RESULT_* code), for example the server cannot be reached\n"
    "  64  the command line is wrong\n";

void addGlobalOptions(CLI::App &app, GlobalOptions &options) {
  app.add_option("--host", options.host, "Host of the management server (default localhost)");
  app.add_option("--program", options.program,
                 "RPC program number, decimal or 0x-hexadecimal (default: QELPROGID, else " +
                     proc::defaultProgramText() + ")")
      ->check(fits<std::uint32_t>());
  auto *json = app.add_flag("--json", options.json, "Write one JSON document per command");
  app.add_flag("--quiet", options.quiet, "Write nothing on success; failures still say why")
      ->excludes(json);
}

// The deepest command that the parse reached, for the usage hint.
std::string reachedCommand(const CLI::App &app) {
  const CLI::App *at = &app;
  for (auto chosen = at->get_subcommands(); !chosen.empty(); chosen = at->get_subcommands()) {
    at = chosen.front();
  }
  const auto path = commandPath(*at);
  return path.empty() ? "qelctl" : "qelctl " + path;
}

// After `server stop` there is no connection left to close, which is fine.
struct CloseConnection {
  ~CloseConnection() { qelDisconnect(); }
};

int usageError(const CLI::App &app, const CLI::Error &error, std::ostream &err) {
  const auto unknown = app.remaining(true);
  err << "qelctl: "
      << (unknown.empty() ? error.what() : "unknown command or argument '" + unknown.front() + "'")
      << '\n'
      << "Run '" << reachedCommand(app) << " --help' for usage.\n";
  return tools::kExitUsage;
}

}  // namespace

void addCommands(CLI::App &app, GlobalOptions &options, CommandTable &table) {
  app.footer(kExitStatuses);
  app.require_subcommand(1);
  // Global options are taken after the command too: `qelctl sensor get x --json`.
  app.fallthrough();
  addGlobalOptions(app, options);
  addServerCommands(table, app);
  addNetCommands(table, app);
  addDateCommands(table, app);
  addPlatformCommands(table, app);
  addSensorCommands(table, app);
  addReportCommands(table, app);
  addAdminCommands(table, app);
  app.set_help_all_flag("--help-all", "Show help for every command");
  app.set_version_flag("--version", "qelctl " QEL_TOOLS_VERSION);
}

int run(int argc, const char *const *argv, std::ostream &out, std::ostream &err) {
  GlobalOptions options;
  CLI::App app("Command-line client of the management server of the service processor.", "qelctl");
  CommandTable table;
  addCommands(app, options, table);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      return app.exit(error, out, err);
    }
    return usageError(app, error, err);
  }

  const Selection &chosen = *table.selection();
  Session session(options, chosen.command, out);
  const CloseConnection closeOnEveryWayOut;
  try {
    if (chosen.reach == Reach::kRemote) session.connect();
    chosen.action(session);
  } catch (const Failure &failure) {
    return session.report(failure, err);
  } catch (const CLI::Error &error) {
    return usageError(app, error, err);
  }
  return tools::kExitSuccess;
}

}  // namespace qel::cli
