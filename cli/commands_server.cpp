// SPDX-License-Identifier: Apache-2.0
// server, sp, process: the management server itself and the processes it knows.
#include <qel.h>

#include <cstdint>
#include <limits>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/commands.hpp"

namespace qel::cli {

void addServerCommands(CommandTable &table, CLI::App &root) {
  auto &server = table.noun(root, "server", "Control the management server");
  table.verb(server, "stop", "Ask the management server to stop", [](Session &session) {
    finish(session, qelStopServer(), "cannot stop the management server");
  });
  table.verb(server, "configure", "Ask the management server to configure itself",
             [](Session &session) {
               finish(session, qelConfigureServer(), "cannot configure the management server");
             });
  table.verb(server, "state", "Show the management server's internal state", [](Session &session) {
    HeapText state;
    *state.out() = qelInternalState();
    // The operation hands out no code; having connected first, a missing text means no reply.
    if (!state) throw Failure("cannot read the server's internal state", RESULT_CALL_FAILED);
    session.show(Record().text("state", textOf(state)));
  });
  auto level = argument<int>();
  auto &debug = table.noun(server, "debug-level", "The management server's debug level");
  table
      .verb(debug, "set", "Set the management server's debug level",
            [level](Session &session) {
              finish(session, static_cast<unsigned>(qelSetDebugLevel(*level)),
                     "cannot set the debug level");
            })
      .add_option("LEVEL", *level, "Debug level, passed to the server as it is")
      ->required();
  auto notification = argument<int>();
  table
      .verb(server, "notify", "Send the management server a notification",
            [notification](Session &session) {
              finish(session, qelNotify(*notification), "cannot send the notification");
            })
      .add_option("NOTIFICATION", *notification, "Notification number")
      ->required();

  auto &sp = table.noun(root, "sp", "The service processor");
  table.verb(sp, "reboot", "Ask for a reboot of the service processor", [](Session &session) {
    finish(session, qelRebootSP(), "cannot reboot the service processor");
  });

  auto pid = argument<int>();
  auto tag = argument<unsigned long>(0);
  auto &process = table.noun(root, "process", "Processes known to the management server");
  auto &enrol = table.verb(process, "register", "Register a process with the management server",
                           [pid, tag](Session &session) {
                             finish(session, qelRegisterPID(*pid, *tag),
                                    "cannot register process " + std::to_string(*pid));
                           });
  enrol.add_option("PID", *pid, "Process identifier")
      ->required()
      ->check(CLI::Range(1, std::numeric_limits<int>::max()));
  enrol.add_option("TAG", *tag, "32-bit process tag (default 0)")->check(fits<std::uint32_t>());
}

}  // namespace qel::cli
