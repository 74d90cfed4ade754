// SPDX-License-Identifier: Apache-2.0
// The grammar of qelctl: nouns that group commands, verbs that run one, and attributes that are
// read by naming them (`platform power-state` or `platform power-state get`) and written by
// their `set` verb. Parsing only selects a command; it runs afterwards, once.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qel::cli {

class Session;

using Action = std::function<void(Session &)>;
// Declares a command's arguments; an attribute declares its read arguments twice, on the
// attribute and on its `get`, bound to the same variables.
using Declare = std::function<void(CLI::App &)>;

// Whether a command talks to the management server, so the connection is opened first.
enum class Reach { kLocal, kRemote };

struct Selection {
  std::string command;  // "sensor get"; an attribute read is named without its `get`
  Action action;
  Reach reach;
};

class CommandTable {
 public:
  CLI::App &noun(CLI::App &parent, const std::string &name, const std::string &description);
  CLI::App &verb(CLI::App &parent, const std::string &name, const std::string &description,
                 Action action, Reach reach = Reach::kRemote);
  // `description` names the attribute ("The power state"); its `get` shows it.
  CLI::App &attribute(CLI::App &parent, const std::string &name, const std::string &description,
                      const Declare &declare, Action get, Reach reach = Reach::kRemote);
  // A check of a command's arguments that needs the whole line read, as when one option says
  // how another is to be read and either may stand before the command. It runs when the
  // command is chosen, still within the parse: a CLI::Error from it is a usage error, and
  // nothing has been sent. For an attribute it guards the read.
  void validate(const CLI::App &command, std::function<void()> check);

  // The command chosen by the last parse, if any.
  const std::optional<Selection> &selection() const { return selection_; }

 private:
  void select(std::string command, Action action, Reach reach);

  std::optional<Selection> selection_;
  std::map<std::string, std::vector<std::function<void()>>> checks_;  // by command path
};

// "sensor get" for the app of `qelctl sensor get`.
std::string commandPath(const CLI::App &app);

}  // namespace qel::cli
