// SPDX-License-Identifier: Apache-2.0
// Shapes that many commands share: a status operation, a single value, a text report.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/command_table.hpp"
#include "cli/heap.hpp"
#include "cli/output.hpp"
#include "cli/session.hpp"

namespace qel::cli {

// Checks the result of an operation that returns nothing to show, then shows that it is done.
inline void finish(Session &session, unsigned code, const std::string &action) {
  check(code, action);
  session.show(Record());
}

// Reads one int through `read` and shows it under `key`.
inline Action showInt(unsigned (*read)(int *), std::string key, std::string label,
                      std::string action) {
  return [=](Session &session) {
    int value = 0;
    check(read(&value), action);
    session.show(Record().field(key, value, label));
  };
}

// Shows a text that `fetch` hands out, printed as it is.
inline void showText(Session &session, const std::function<unsigned(char **)> &fetch,
                     const std::string &key, const std::string &action) {
  HeapText text;
  check(fetch(text.out()), action);
  session.show(Record().text(key, textOf(text)));
}

// A value that a command's arguments are parsed into and its action reads later.
template <typename T>
std::shared_ptr<T> argument(T initial = T()) {
  return std::make_shared<T>(std::move(initial));
}

}  // namespace qel::cli
