// SPDX-License-Identifier: Apache-2.0
// console, cpu, product, pbm: administration and identity.
#include <qel.h>

#include <array>
#include <cstdint>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/commands.hpp"

namespace qel::cli {
namespace {

using FiveValues = std::array<long long, 5>;
// What each of the five values travels as; `write` narrows the values to these types.
using FiveRanges = std::array<CLI::Validator, 5>;

// `set VALUE1 ... VALUE5` below `parent`.
void addFiveValueSet(CommandTable &table, CLI::App &parent, const std::string &description,
                     unsigned (*write)(const FiveValues &), const FiveRanges &ranges,
                     const std::string &action) {
  auto values = argument<FiveValues>();
  auto &set = table.verb(parent, "set", description,
                         [=](Session &session) { finish(session, write(*values), action); });
  for (std::size_t i = 0; i < values->size(); ++i) {
    set.add_option("VALUE" + std::to_string(i + 1), (*values)[i],
                   "Setting " + std::to_string(i + 1) + ", passed to the server as it is")
        ->required()
        ->check(ranges[i]);
  }
}

unsigned setConsole(const FiveValues &v) {
  return qelSysSetConsoleConfig(static_cast<int>(v[0]), static_cast<int>(v[1]),
                                static_cast<int>(v[2]), static_cast<int>(v[3]),
                                static_cast<unsigned long>(v[4]));
}

unsigned setCpu(const FiveValues &v) {
  return qelSetCPUConfiguration(static_cast<int>(v[0]), static_cast<unsigned>(v[1]),
                                static_cast<unsigned>(v[2]), static_cast<int>(v[3]),
                                static_cast<unsigned>(v[4]));
}

void addConsole(CommandTable &table, CLI::App &root) {
  auto &console = table.attribute(
      root, "console", "The console settings", [](CLI::App &) {},
      [](Session &session) {
        int v1 = 0, v2 = 0, v3 = 0, v4 = 0;
        unsigned long v5 = 0;
        check(qelSysGetConsoleConfig(&v1, &v2, &v3, &v4, &v5), "cannot read the console settings");
        session.show(Record()
                         .field("value1", v1)
                         .field("value2", v2)
                         .field("value3", v3)
                         .field("value4", v4)
                         .field("value5", v5));
      });
  addFiveValueSet(table, console, "Set the five console settings", setConsole,
                  {fits<int>(), fits<int>(), fits<int>(), fits<int>(), fits<std::uint32_t>()},
                  "cannot set the console settings");
}

void addCpu(CommandTable &table, CLI::App &root) {
  auto &cpu = table.noun(root, "cpu", "The CPU configuration");
  addFiveValueSet(table, cpu, "Set the five CPU configuration values", setCpu,
                  {fits<int>(), fits<std::uint32_t>(), fits<std::uint32_t>(), fits<int>(),
                   fits<std::uint32_t>()},
                  "cannot set the CPU configuration");
}

void addPbm(CommandTable &table, CLI::App &root) {
  auto selector = argument<unsigned>();
  const Declare declare = [selector](CLI::App &app) {
    app.add_option("SELECTOR", *selector, "Which PBM string")->required();
  };
  auto &pbm = table.attribute(root, "pbm", "A PBM string", declare, [selector](Session &session) {
    showText(
        session, [&](char **out) { return qelGetPBMString(*selector, out); }, "text",
        "cannot read PBM string " + std::to_string(*selector));
  });
  auto text = argument<std::string>();
  auto &set = table.verb(pbm, "set", "Set a PBM string", [selector, text](Session &session) {
    finish(session, qelSetPBMString(*selector, text->c_str()),
           "cannot set PBM string " + std::to_string(*selector));
  });
  declare(set);
  set.add_option("TEXT", *text, "New text")->required();
}

}  // namespace

void addAdminCommands(CommandTable &table, CLI::App &root) {
  addConsole(table, root);
  addCpu(table, root);
  table.attribute(
      root, "product", "The product name", [](CLI::App &) {},
      [](Session &session) {
        showText(session, qelGetProductId, "product", "cannot identify the product");
      });
  addPbm(table, root);
}

}  // namespace qel::cli
