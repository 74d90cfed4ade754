// SPDX-License-Identifier: Apache-2.0
#include "redfish/add_account.hpp"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "redfish/accounts/account_store.hpp"
#include "redfish/state_files.hpp"
#include "tools/http/password.hpp"

namespace qel::redfish {
namespace {

// One line of standard input without its line end; at a terminal, asked for with `prompt`
// and not echoed.
std::optional<std::string> readPassword(const char *prompt) {
  termios saved{};
  const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::cerr << prompt << std::flush;
  }
  std::string line;
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return read ? std::optional(line) : std::nullopt;
}

}  // namespace

int addAccount(const Settings &settings) {
  const std::string &name = *settings.addAccount;
  auto fail = [](const std::string &reason) {
    std::cerr << "qel-redfishd: " << reason << '\n';
    return 1;
  };
  const auto password = readPassword("Password: ");
  if (!password) return fail("no password on standard input");
  if (isatty(STDIN_FILENO) && readPassword("Again: ") != password) {
    return fail("the two passwords differ");
  }
  if (password->size() < kShortestPassword || password->size() > kLongestPassword) {
    return fail("a password has 8 to 128 characters");
  }
  std::string error;
  AccountStore store(settings.stateDirectory);
  if (!prepareStateDirectory(settings.stateDirectory, error) || !store.open(error)) {
    return fail(error);
  }
  const auto hash = http::hashPassword(*password);
  if (!hash) return fail("the password cannot be hashed");
  std::string id;
  switch (store.create(name, settings.role, *hash, true, id)) {
    case Change::kDone:
      std::cout << "qel-redfishd: account " << name << " (" << roleName(settings.role)
                << ") added as " << id << '\n';
      return 0;
    case Change::kNameTaken:
      return fail("an account " + name + " exists");
    case Change::kFull:
      return fail("there are 64 accounts already");
    default:
      return fail("the accounts file cannot be written in " + settings.stateDirectory);
  }
}

}  // namespace qel::redfish
