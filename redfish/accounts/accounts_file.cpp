// SPDX-License-Identifier: Apache-2.0
#include "redfish/accounts/accounts_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

#include "redfish/state_files.hpp"

namespace qel::redfish {
namespace {

using Json = nlohmann::json;
constexpr std::size_t kLargestFile = 1 << 20;

struct Unfit {
  std::string reason;
};

void onlyKeys(const Json &object, const std::string &where, const std::set<std::string> &keys) {
  if (!object.is_object()) throw Unfit{where + " is not an object"};
  for (const auto &item : object.items()) {
    if (keys.count(item.key()) == 0) throw Unfit{where + ": unknown key \"" + item.key() + "\""};
  }
}

template <typename T>
T field(const Json &object, const std::string &where, const char *key, bool required, T value) {
  const auto found = object.find(key);
  if (found == object.end()) {
    if (required) throw Unfit{where + ": \"" + key + "\" is missing"};
    return value;
  }
  const bool fits = std::is_same_v<T, bool>          ? found->is_boolean()
                    : std::is_same_v<T, std::string> ? found->is_string()
                                                     : found->is_number_unsigned();
  if (!fits) throw Unfit{where + ": \"" + key + "\" has the wrong type"};
  if constexpr (std::is_same_v<T, unsigned>) {
    if (found->template get<unsigned long long>() > 0xFFFFFFFFull) {
      throw Unfit{where + ": \"" + key + "\" is too large"};
    }
  }
  return found->template get<T>();
}

StoredAccount account(const Json &item, std::size_t index) {
  const std::string where = "accounts[" + std::to_string(index) + "]";
  onlyKeys(item, where,
           {"id", "userName", "role", "passwordHash", "enabled", "passwordChangeRequired"});
  StoredAccount account;
  account.id = field<std::string>(item, where, "id", true, "");
  account.userName = field<std::string>(item, where, "userName", true, "");
  const auto role = roleNamed(field<std::string>(item, where, "role", true, ""));
  account.passwordHash = field<std::string>(item, where, "passwordHash", true, "");
  account.enabled = field(item, where, "enabled", false, true);
  account.passwordChangeRequired = field(item, where, "passwordChangeRequired", false, false);
  const bool numeric = !account.id.empty() && account.id.size() <= 9 && account.id[0] != '0' &&
                       account.id.find_first_not_of("0123456789") == std::string::npos;
  if (!numeric) throw Unfit{where + ": \"id\" is not a number from 1"};
  if (!isValidUserName(account.userName)) throw Unfit{where + ": \"userName\" is not valid"};
  if (!role) throw Unfit{where + ": \"role\" is not Administrator, Operator or ReadOnly"};
  account.role = *role;
  if (account.passwordHash.size() < 2 || account.passwordHash[0] != '$') {
    throw Unfit{where + ": \"passwordHash\" is not a password hash"};
  }
  return account;
}

AccountsState state(const Json &document) {
  onlyKeys(document, "the file", {"accounts", "policy"});
  AccountsState result;
  if (document.contains("policy")) {
    const Json &policy = document["policy"];
    onlyKeys(policy, "policy",
             {"lockoutThreshold", "lockoutDuration", "lockoutCounterResetAfter", "sessionTimeout"});
    AccountPolicy &p = result.policy;
    p.lockoutThreshold = field(policy, "policy", "lockoutThreshold", false, p.lockoutThreshold);
    p.lockoutDuration = field(policy, "policy", "lockoutDuration", false, p.lockoutDuration);
    p.lockoutCounterResetAfter =
        field(policy, "policy", "lockoutCounterResetAfter", false, p.lockoutCounterResetAfter);
    p.sessionTimeout = field(policy, "policy", "sessionTimeout", false, p.sessionTimeout);
    if (std::string problem = policyProblem(p); !problem.empty()) throw Unfit{"policy: " + problem};
  }
  const Json accounts = document.value("accounts", Json::array());
  if (!accounts.is_array()) throw Unfit{"accounts is not a list"};
  if (accounts.size() > kMostAccounts) throw Unfit{"more than 64 accounts"};
  std::set<std::string> ids, names;
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    StoredAccount item = account(accounts[i], i);
    if (!ids.insert(item.id).second) throw Unfit{"account id " + item.id + " twice"};
    if (!names.insert(item.userName).second) throw Unfit{"user " + item.userName + " twice"};
    result.accounts.push_back(std::move(item));
  }
  return result;
}

std::string systemError(const std::string &what) { return what + ": " + std::strerror(errno); }

}  // namespace

bool isValidUserName(std::string_view name) {
  if (name.empty() || name.size() > kLongestUserName || name.front() == '-') return false;
  for (char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter && c != '.' && c != '_' && c != '-' && c != '@') return false;
  }
  return true;
}

std::string policyProblem(const AccountPolicy &policy) {
  if (policy.lockoutThreshold > kMostLockoutFailures) return "lockout threshold above 1000";
  if (policy.lockoutDuration > kLongestLockout) return "lockout duration above 86400 s";
  if (policy.lockoutCounterResetAfter > policy.lockoutDuration) {
    return "lockout counter reset after more than the lockout duration";
  }
  if (policy.sessionTimeout < kShortestSessionTimeout ||
      policy.sessionTimeout > kLongestSessionTimeout) {
    return "session timeout not 30 to 86400 s";
  }
  return "";
}

std::optional<AccountsState> parseAccounts(std::string_view text, std::string &error) {
  try {
    return state(Json::parse(text));
  } catch (const Json::exception &e) {
    error = std::string("not JSON: ") + e.what();
  } catch (const Unfit &unfit) {
    error = unfit.reason;
  }
  return std::nullopt;
}

std::string accountsText(const AccountsState &state) {
  Json accounts = Json::array();
  for (const StoredAccount &a : state.accounts) {
    accounts.push_back({{"id", a.id},
                        {"userName", a.userName},
                        {"role", roleName(a.role)},
                        {"passwordHash", a.passwordHash},
                        {"enabled", a.enabled},
                        {"passwordChangeRequired", a.passwordChangeRequired}});
  }
  const AccountPolicy &p = state.policy;
  const Json policy{{"lockoutThreshold", p.lockoutThreshold},
                    {"lockoutDuration", p.lockoutDuration},
                    {"lockoutCounterResetAfter", p.lockoutCounterResetAfter},
                    {"sessionTimeout", p.sessionTimeout}};
  return Json{{"accounts", accounts}, {"policy", policy}}.dump(2) + "\n";
}

bool readAccountsFile(const std::string &path, AccountsState &state, std::string &error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT) {
    state = {};
    return true;
  }
  if (fd < 0) {
    error = systemError(path);
    return false;
  }
  struct stat info {};
  std::string text;
  bool ok = fstat(fd, &info) == 0;
  if (!ok) {
    error = systemError(path);
  } else if (!S_ISREG(info.st_mode) || (info.st_mode & 077) != 0) {
    error = path + ": not a regular file of mode 0600";
    ok = false;
  } else if (info.st_size > static_cast<off_t>(kLargestFile)) {
    error = path + ": larger than 1 MiB";
    ok = false;
  } else {
    text.resize(static_cast<std::size_t>(info.st_size));
    ok = read(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (!ok) error = systemError(path);
  }
  close(fd);
  if (!ok) return false;
  auto parsed = parseAccounts(text, error);
  if (!parsed) error = path + ": " + error;
  if (parsed) state = std::move(*parsed);
  return parsed.has_value();
}

bool writeAccountsFile(const std::string &path, const AccountsState &state, std::string &error) {
  return writeAtomically(path, accountsText(state), error);
}

}  // namespace qel::redfish
