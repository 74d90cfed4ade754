// SPDX-License-Identifier: Apache-2.0
// platform: the host platform's state, power, type, buttons and events.
#include <qel.h>

#include "cli/actions.hpp"
#include "cli/commands.hpp"

namespace qel::cli {
namespace {

// A platform value read by naming it and written by `set VALUE`.
void addIntAttribute(CommandTable &table, CLI::App &platform, const std::string &name,
                     const std::string &key, const std::string &label, unsigned (*read)(int *),
                     unsigned (*write)(int)) {
  auto &attribute = table.attribute(
      platform, name, "The " + label, [](CLI::App &) {},
      showInt(read, key, label, "cannot read the " + label));
  auto value = argument<int>();
  table
      .verb(attribute, "set", "Set the " + label,
            [value, write, label](Session &session) {
              finish(session, write(*value), "cannot set the " + label);
            })
      .add_option("VALUE", *value, "New " + label + ", passed to the server as it is")
      ->required();
}

struct PlatformAction {
  int code = 0;
  unsigned option = 0;
  int value = 0;
  std::string text;
};

struct Event {
  int values[4] = {};
  std::string text;
};

void addEvents(CommandTable &table, CLI::App &platform) {
  auto &event = table.noun(platform, "event", "Report platform events");
  auto mc = argument<Event>();
  auto &machineCheck =
      table.verb(event, "machine-check", "Report a machine-check event", [mc](Session &session) {
        finish(session,
               qelPlatformMachineCheckEvent(mc->values[0], mc->values[1], mc->values[2],
                                            mc->text.c_str()),
               "cannot report the machine-check event");
      });
  auto dimm = argument<Event>();
  auto &dimmError = table.verb(event, "dimm", "Report a DIMM error", [dimm](Session &session) {
    finish(session,
           qelPlatformLogDimmError(dimm->values[0], dimm->values[1], dimm->values[2],
                                   dimm->values[3], dimm->text.c_str()),
           "cannot report the DIMM error");
  });
  for (auto [app, data, count] :
       {std::tuple{&machineCheck, mc.get(), 3}, std::tuple{&dimmError, dimm.get(), 4}}) {
    for (int i = 0; i < count; ++i) {
      app->add_option("VALUE" + std::to_string(i + 1), data->values[i], "Event value")->required();
    }
    app->add_option("TEXT", data->text, "Event text")->required();
  }
}

}  // namespace

void addPlatformCommands(CommandTable &table, CLI::App &root) {
  auto &platform = table.noun(root, "platform", "The host platform");
  table.verb(platform, "state", "Show the platform state",
             showInt(qelPlatformGetState, "state", "state", "cannot read the platform state"));
  addIntAttribute(table, platform, "power-state", "powerState", "power state",
                  qelPlatformGetPowerState, qelPlatformSetPowerState);
  addIntAttribute(table, platform, "power-level", "powerLevel", "power level",
                  qelPlatformGetPowerLevel, qelPlatformSetPowerLevel);
  table.verb(platform, "shutdown-reason", "Show the reason of the last shutdown",
             showInt(qelPlatformGetShutdownReason, "shutdownReason", "shutdown reason",
                     "cannot read the shutdown reason"));

  auto key = argument<std::string>();
  table
      .verb(platform, "type", "Show the platform type for a key",
            [key](Session &session) {
              int type = 0;
              check(qelPlatformGetType(key->c_str(), &type),
                    "cannot read the platform type for '" + *key + "'");
              session.show(Record().field("type", type));
            })
      .add_option("KEY", *key, "Type key")
      ->required();

  auto action = argument<PlatformAction>();
  auto &act = table.verb(
      platform, "action", "Ask the platform to take an action", [action](Session &session) {
        finish(session,
               qelPlatformSetAction(action->code, static_cast<unsigned char>(action->option),
                                    action->value, action->text.c_str()),
               "cannot take platform action " + std::to_string(action->code));
      });
  act.add_option("CODE", action->code, "Action code")->required();
  act.add_option("--option", action->option, "Action option, 0 to 255 (default 0)")
      ->check(CLI::Range(0, 255));
  act.add_option("--value", action->value, "Action value (default 0)");
  act.add_option("--text", action->text, "Action text (default empty)");

  auto button = argument<int>();
  table
      .verb(platform, "button", "Press a platform button",
            [button](Session &session) {
              finish(session, qelPlatformButton(*button),
                     "cannot press button " + std::to_string(*button));
            })
      .add_option("BUTTON", *button, "Button number")
      ->required();

  addEvents(table, platform);
}

}  // namespace qel::cli
