// SPDX-License-Identifier: Apache-2.0
#include "cli/command_table.hpp"

#include <cctype>

namespace qel::cli {

std::string commandPath(const CLI::App &app) {
  std::string path;
  for (const CLI::App *at = &app; at->get_parent() != nullptr; at = at->get_parent()) {
    path = path.empty() ? at->get_name() : at->get_name() + " " + path;
  }
  return path;
}

void CommandTable::validate(const CLI::App &command, std::function<void()> check) {
  checks_[commandPath(command)].push_back(std::move(check));
}

void CommandTable::select(std::string command, Action action, Reach reach) {
  if (const auto found = checks_.find(command); found != checks_.end()) {
    for (const auto &check : found->second) check();
  }
  selection_ = Selection{std::move(command), std::move(action), reach};
}

CLI::App &CommandTable::noun(CLI::App &parent, const std::string &name,
                             const std::string &description) {
  CLI::App *app = parent.add_subcommand(name, description);
  app->require_subcommand(1);
  return *app;
}

CLI::App &CommandTable::verb(CLI::App &parent, const std::string &name,
                             const std::string &description, Action action, Reach reach) {
  CLI::App *app = parent.add_subcommand(name, description);
  app->callback(
      [this, app, action = std::move(action), reach] { select(commandPath(*app), action, reach); });
  return *app;
}

CLI::App &CommandTable::attribute(CLI::App &parent, const std::string &name,
                                  const std::string &description, const Declare &declare,
                                  Action get, Reach reach) {
  CLI::App *app = parent.add_subcommand(name, description);
  declare(*app);
  // Required read arguments cannot be required of the attribute itself, or its `set` would
  // demand them too; they are checked when the attribute is read by its bare name.
  std::vector<CLI::Option *> needed;
  for (CLI::Option *option : app->get_options()) {
    if (option->get_required()) {
      option->required(false);
      needed.push_back(option);
    }
  }
  app->callback([this, app, get, reach, needed] {
    if (!app->get_subcommands().empty()) return;
    for (const CLI::Option *option : needed) {
      if (option->count() == 0) throw CLI::RequiredError(option->get_name());
    }
    select(commandPath(*app), get, reach);
  });
  std::string shown = description;
  if (!shown.empty())
    shown[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(shown[0])));
  CLI::App *getter = app->add_subcommand("get", "Show " + shown);
  declare(*getter);
  getter->callback([this, app, get, reach] { select(commandPath(*app), get, reach); });
  return *app;
}

}  // namespace qel::cli
