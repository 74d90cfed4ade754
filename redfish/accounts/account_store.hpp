// SPDX-License-Identifier: Apache-2.0
// The accounts a service holds, shared by every request: looked up, authenticated and changed
// under one lock, each change written to the accounts file before it counts. The file is read
// again whenever it changed on disk (qel-redfishd --add-account beside a running service); the
// directory's lock keeps two writers from crossing. Failed logins and lockouts live in memory.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "redfish/accounts/accounts_file.hpp"

namespace qel::redfish {

using Clock = std::chrono::steady_clock;

// What the service shows of an account: never its hash.
struct AccountView {
  std::string id;
  std::string userName;
  Role role = Role::kReadOnly;
  bool enabled = true;
  bool passwordChangeRequired = false;
  bool locked = false;
};

enum class Change { kDone, kNotFound, kNameTaken, kFull, kNotStored };

class AccountStore {
 public:
  // `directory` holds the accounts file.
  explicit AccountStore(std::string directory);

  // Reads the file; false with a reason when it cannot be used.
  bool open(std::string &error);

  // The account `user` logs in as with `password`; nothing for an unknown user, a wrong
  // password, a disabled or a locked account, which all take the time of one hash check. A
  // wrong password counts towards the lockout; a right one on an unlocked account clears it.
  std::optional<AccountView> authenticate(const std::string &user, const std::string &password);

  std::optional<AccountView> find(const std::string &id);
  std::vector<AccountView> list();
  AccountPolicy policy();

  // The changes. `hash` is a password hash made by the caller (hashing takes a while and is
  // done outside the lock).
  Change create(const std::string &userName, Role role, const std::string &hash, bool enabled,
                std::string &id);
  // Applies `edit` to the stored account `id`; a new user name must be free.
  Change update(const std::string &id, const std::function<void(StoredAccount &)> &edit);
  // Clears a lockout and the failures counted.
  void unlock(const std::string &id);
  Change remove(const std::string &id);
  Change setPolicy(const AccountPolicy &policy);

 private:
  struct Failures {
    unsigned count = 0;
    Clock::time_point last;
    Clock::time_point lockedUntil;
  };
  void refresh();  // with mutex_ held
  AccountView view(const StoredAccount &account, Clock::time_point now) const;
  // Writes `next` under the directory's lock and makes it the state; with mutex_ held.
  Change store(AccountsState next);

  std::string directory_, path_;
  std::mutex mutex_;
  AccountsState state_;
  struct stat seen_ {};  // the file as last read or written
  std::map<std::string, Failures> failures_;
  std::string decoyHash_;  // checked for unknown users, so that they take as long
};

}  // namespace qel::redfish
