// SPDX-License-Identifier: Apache-2.0
// date: the service processor's clock, set from a text or from this machine's clock.
#include <qel.h>

#include "cli/actions.hpp"
#include "cli/commands.hpp"

namespace qel::cli {

void addDateCommands(CommandTable &table, CLI::App &root) {
  auto &date = table.attribute(
      root, "date", "The date: this machine's clock in UTC, in the form the server takes",
      [](CLI::App &) {},
      [](Session &session) { showText(session, qelGetDate, "date", "cannot read the clock"); },
      Reach::kLocal);
  auto text = argument<std::string>();
  table
      .verb(date, "set", "Set the service processor's date (default: this machine's clock)",
            [text](Session &session) {
              HeapText now;
              if (text->empty()) check(qelGetDate(now.out()), "cannot read the clock");
              finish(session, qelSetDate(text->empty() ? now.get() : text->c_str()),
                     "cannot set the date");
            })
      .add_option("DATE", *text, "Date text, sent as it is");
}

}  // namespace qel::cli
