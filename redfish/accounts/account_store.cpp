// SPDX-License-Identifier: Apache-2.0
#include "redfish/accounts/account_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

#include "redfish/random_text.hpp"
#include "tools/http/password.hpp"
#include "tools/log.hpp"

namespace qel::redfish {
namespace {

// The state directory locked against other writers for as long as it lives.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string &directory)
      : fd_(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~DirectoryLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  DirectoryLock(const DirectoryLock &) = delete;
  DirectoryLock &operator=(const DirectoryLock &) = delete;

 private:
  int fd_;
};

bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

AccountStore::AccountStore(std::string directory)
    : directory_(std::move(directory)), path_(directory_ + "/accounts.json") {
  decoyHash_ = http::hashPassword(randomHex(16)).value_or("");
}

bool AccountStore::open(std::string &error) {
  std::lock_guard lock(mutex_);
  AccountsState state;
  if (!readAccountsFile(path_, state, error)) return false;
  state_ = std::move(state);
  stat(path_.c_str(), &seen_);
  return true;
}

void AccountStore::refresh() {
  struct stat now {};
  if (stat(path_.c_str(), &now) != 0 || sameFile(now, seen_)) return;
  AccountsState state;
  std::string error;
  if (!readAccountsFile(path_, state, error)) {
    tools::logLine(tools::LogLevel::kError, "", "accounts file not read again: " + error);
  } else {
    state_ = std::move(state);
    tools::logLine(tools::LogLevel::kInfo, "", "accounts file read again");
  }
  seen_ = now;
}

AccountView AccountStore::view(const StoredAccount &account, Clock::time_point now) const {
  const auto found = failures_.find(account.id);
  const bool locked = found != failures_.end() && now < found->second.lockedUntil;
  return {
      account.id, account.userName, account.role, account.enabled, account.passwordChangeRequired,
      locked};
}

std::optional<AccountView> AccountStore::authenticate(const std::string &user,
                                                      const std::string &password) {
  std::optional<StoredAccount> account;
  {
    std::lock_guard lock(mutex_);
    refresh();
    for (const StoredAccount &a : state_.accounts) {
      if (a.userName == user) account = a;
    }
  }
  // The hash check runs outside the lock: it takes a while, and other requests go on.
  const bool matches =
      http::passwordMatches(account ? account->passwordHash : decoyHash_, password);
  if (!account) return std::nullopt;
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Clock::now();
  Failures &failures = failures_[account->id];
  const AccountPolicy &policy = state_.policy;
  const bool locked = now < failures.lockedUntil;
  if (matches && !locked) {
    failures_.erase(account->id);
    if (!account->enabled) return std::nullopt;
    return view(*account, now);
  }
  if (!matches && !locked) {
    if (now - failures.last > std::chrono::seconds(policy.lockoutCounterResetAfter)) {
      failures.count = 0;
    }
    failures.last = now;
    if (++failures.count >= policy.lockoutThreshold && policy.lockoutThreshold != 0) {
      failures.lockedUntil = now + std::chrono::seconds(policy.lockoutDuration);
      tools::logLine(tools::LogLevel::kWarn, "user=" + account->userName,
                     "account locked after " + std::to_string(failures.count) + " failed logins");
    }
  }
  return std::nullopt;
}

std::optional<AccountView> AccountStore::find(const std::string &id) {
  std::lock_guard lock(mutex_);
  refresh();
  for (const StoredAccount &a : state_.accounts) {
    if (a.id == id) return view(a, Clock::now());
  }
  return std::nullopt;
}

std::vector<AccountView> AccountStore::list() {
  std::lock_guard lock(mutex_);
  refresh();
  std::vector<AccountView> all;
  for (const StoredAccount &a : state_.accounts) all.push_back(view(a, Clock::now()));
  return all;
}

AccountPolicy AccountStore::policy() {
  std::lock_guard lock(mutex_);
  refresh();
  return state_.policy;
}

Change AccountStore::store(AccountsState next) {
  std::string error;
  if (!writeAccountsFile(path_, next, error)) {
    tools::logLine(tools::LogLevel::kError, "", "accounts file not written: " + error);
    return Change::kNotStored;
  }
  state_ = std::move(next);
  stat(path_.c_str(), &seen_);
  return Change::kDone;
}

Change AccountStore::create(const std::string &userName, Role role, const std::string &hash,
                            bool enabled, std::string &id) {
  std::lock_guard lock(mutex_);
  DirectoryLock directory(directory_);
  refresh();
  AccountsState next = state_;
  unsigned highest = 0;
  for (const StoredAccount &a : next.accounts) {
    if (a.userName == userName) return Change::kNameTaken;
    highest = std::max(highest, static_cast<unsigned>(std::stoul(a.id)));
  }
  if (next.accounts.size() >= kMostAccounts) return Change::kFull;
  id = std::to_string(highest + 1);
  next.accounts.push_back({id, userName, role, hash, enabled, false});
  return store(std::move(next));
}

Change AccountStore::update(const std::string &id,
                            const std::function<void(StoredAccount &)> &edit) {
  std::lock_guard lock(mutex_);
  DirectoryLock directory(directory_);
  refresh();
  AccountsState next = state_;
  const auto found = std::find_if(next.accounts.begin(), next.accounts.end(),
                                  [&](const StoredAccount &a) { return a.id == id; });
  if (found == next.accounts.end()) return Change::kNotFound;
  edit(*found);
  for (const StoredAccount &a : next.accounts) {
    if (&a != &*found && a.userName == found->userName) return Change::kNameTaken;
  }
  return store(std::move(next));
}

void AccountStore::unlock(const std::string &id) {
  std::lock_guard lock(mutex_);
  failures_.erase(id);
}

Change AccountStore::remove(const std::string &id) {
  std::lock_guard lock(mutex_);
  DirectoryLock directory(directory_);
  refresh();
  AccountsState next = state_;
  if (std::erase_if(next.accounts, [&](const StoredAccount &a) { return a.id == id; }) == 0) {
    return Change::kNotFound;
  }
  failures_.erase(id);
  return store(std::move(next));
}

Change AccountStore::setPolicy(const AccountPolicy &policy) {
  std::lock_guard lock(mutex_);
  DirectoryLock directory(directory_);
  refresh();
  AccountsState next = state_;
  next.policy = policy;
  return store(std::move(next));
}

}  // namespace qel::redfish
