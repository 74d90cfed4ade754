// SPDX-License-Identifier: Apache-2.0
// The accounts file (STATE_DIR/accounts.json): the service's accounts with their password
// hashes, the lockout policy and the session timeout. Mode 0600, owned by the state
// directory's owner, and only ever replaced whole: a temporary file beside it, written, synced
// and renamed over it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "redfish/http/privileges.hpp"

namespace qel::redfish {

struct StoredAccount {
  std::string id;  // "1", "2", ...: the account's URI segment, never reused while it exists
  std::string userName;
  Role role = Role::kReadOnly;
  std::string passwordHash;  // libcrypt's form, "$y$..."
  bool enabled = true;
  bool passwordChangeRequired = false;
  bool operator==(const StoredAccount &) const = default;
};

// Seconds, as the AccountService and SessionService state them.
struct AccountPolicy {
  unsigned lockoutThreshold = 5;  // failed logins in a row that lock an account; 0: never
  unsigned lockoutDuration = 300;
  unsigned lockoutCounterResetAfter = 300;
  unsigned sessionTimeout = 1800;
  bool operator==(const AccountPolicy &) const = default;
};

struct AccountsState {
  std::vector<StoredAccount> accounts;
  AccountPolicy policy;
  bool operator==(const AccountsState &) const = default;
};

inline constexpr std::size_t kMostAccounts = 64;
inline constexpr std::size_t kLongestUserName = 64;
inline constexpr unsigned kShortestSessionTimeout = 30, kLongestSessionTimeout = 86400;
inline constexpr unsigned kLongestLockout = 86400, kMostLockoutFailures = 1000;
inline constexpr std::size_t kShortestPassword = 8, kLongestPassword = 128;

// A user name: 1 to 64 letters, digits, '.', '_', '-' and '@', not starting with '-' (so
// that it is never taken for an option, and a Basic credential's colon never splits it).
bool isValidUserName(std::string_view name);
// What is wrong with `policy`, or "".
std::string policyProblem(const AccountPolicy &policy);

// The state a file's text holds; nothing, with a one-line reason, for anything but a file this
// service wrote (unknown keys, wrong types, duplicate ids or names, bad values).
std::optional<AccountsState> parseAccounts(std::string_view text, std::string &error);
std::string accountsText(const AccountsState &state);

// Reads `path`; a missing file is an empty state with the default policy. False with a reason
// for a file that cannot be read or used, or that others than its owner may read or write.
bool readAccountsFile(const std::string &path, AccountsState &state, std::string &error);
// Replaces `path` atomically with `state`.
bool writeAccountsFile(const std::string &path, const AccountsState &state, std::string &error);

}  // namespace qel::redfish
