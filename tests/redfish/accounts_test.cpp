// SPDX-License-Identifier: Apache-2.0
// The accounts file as written and read, files it refuses, a store that sees another writer's
// change, and sessions that end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "redfish/accounts/account_store.hpp"
#include "redfish/http/sessions.hpp"

namespace qel::redfish {
namespace {

class AccountsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qel-accounts-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path() const { return (dir_ / "accounts.json").string(); }
  std::filesystem::path dir_;
};

const AccountsState kState{
    {{"1", "root.admin@lab", Role::kAdministrator, "$y$j9T$salt$hash", true, false},
     {"7", "watcher", Role::kReadOnly, "$6$salt$hash", false, true}},
    {3, 120, 60, 900}};

TEST_F(AccountsFile, IsWrittenWholeForItsOwnerAndReadBack) {
  std::string error;
  ASSERT_TRUE(writeAccountsFile(path(), kState, error)) << error;
  struct stat info {};
  ASSERT_EQ(stat(path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temporary left
  AccountsState read;
  ASSERT_TRUE(readAccountsFile(path(), read, error)) << error;
  EXPECT_EQ(read, kState);
  chmod(path().c_str(), 0644);
  EXPECT_FALSE(readAccountsFile(path(), read, error));
  EXPECT_EQ(error, path() + ": not a regular file of mode 0600");
  std::filesystem::remove(path());
  EXPECT_TRUE(readAccountsFile(path(), read, error));  // none yet: no accounts
  EXPECT_EQ(read, AccountsState{});
}

TEST_F(AccountsFile, RefusesWhatItDidNotWrite) {
  const auto account = [](const std::string &fields) {
    return "{\"accounts\":[{\"id\":\"1\",\"userName\":\"a\",\"role\":\"ReadOnly\","
           "\"passwordHash\":\"$y$x\"" +
           fields + "}]}";
  };
  const std::string one =
      "{\"id\":\"1\",\"userName\":\"a\",\"role\":\"ReadOnly\",\"passwordHash\":\"$y$x\"}";
  std::string many = "{\"accounts\":[";
  for (int i = 1; i <= 65; ++i) {
    many += (i > 1 ? "," : "") + std::string("{\"id\":\"") + std::to_string(i) +
            "\",\"userName\":\"u" + std::to_string(i) +
            "\",\"role\":\"ReadOnly\",\"passwordHash\":\"$y$x\"}";
  }
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not JSON: "},
      {"[]", "the file is not an object"},
      {"{\"accounts\":{}}", "accounts is not a list"},
      {"{\"users\":[]}", "the file: unknown key \"users\""},
      {"{\"accounts\":[{\"id\":\"1\"}]}", "accounts[0]: \"userName\" is missing"},
      {account(",\"admin\":true"), "accounts[0]: unknown key \"admin\""},
      {account(",\"enabled\":1"), "accounts[0]: \"enabled\" has the wrong type"},
      {"{\"accounts\":[{\"id\":\"01\",\"userName\":\"a\",\"role\":\"ReadOnly\",\"passwordHash\":\"$"
       "y$x\"}]}",
       "accounts[0]: \"id\" is not a number from 1"},
      {"{\"accounts\":[{\"id\":\"1\",\"userName\":\"-a\",\"role\":\"ReadOnly\",\"passwordHash\":\"$"
       "y$x\"}]}",
       "accounts[0]: \"userName\" is not valid"},
      {"{\"accounts\":[{\"id\":\"1\",\"userName\":\"a\",\"role\":\"root\",\"passwordHash\":\"$y$"
       "x\"}]}",
       "accounts[0]: \"role\" is not Administrator, Operator or ReadOnly"},
      {"{\"accounts\":[{\"id\":\"1\",\"userName\":\"a\",\"role\":\"ReadOnly\",\"passwordHash\":"
       "\"secret\"}]}",
       "accounts[0]: \"passwordHash\" is not a password hash"},
      {"{\"accounts\":[" + one + "," + one + "]}", "account id 1 twice"},
      {"{\"policy\":{\"sessionTimeout\":10}}", "policy: session timeout not 30 to 86400 s"},
      {"{\"policy\":{\"lockoutThreshold\":5000000000}}",
       "policy: \"lockoutThreshold\" is too large"},
      {"{\"policy\":{\"lockoutDuration\":10,\"lockoutCounterResetAfter\":20}}",
       "policy: lockout counter reset after more than the lockout duration"},
      {many + "]}", "more than 64 accounts"},
  };
  for (const auto &[text, reason] : cases) {
    std::string error;
    EXPECT_FALSE(parseAccounts(text, error)) << text;
    EXPECT_EQ(error.substr(0, reason.size()), reason) << text;
  }
}

TEST_F(AccountsFile, AStoreSeesAnotherWritersChange) {
  AccountStore service(dir_.string()), tool(dir_.string());
  std::string error, id;
  ASSERT_TRUE(service.open(error) && tool.open(error)) << error;
  EXPECT_TRUE(service.list().empty());
  ASSERT_EQ(tool.create("first", Role::kAdministrator, "$y$x", true, id), Change::kDone);
  ASSERT_EQ(service.list().size(), 1u);
  EXPECT_EQ(service.list()[0].userName, "first");
  EXPECT_EQ(service.create("first", Role::kReadOnly, "$y$x", true, id), Change::kNameTaken);
  EXPECT_EQ(service.create("second", Role::kReadOnly, "$y$x", true, id), Change::kDone);
  EXPECT_EQ(id, "2");
  EXPECT_EQ(tool.find("2")->userName, "second");
}

TEST(Sessions, EndWhenIdleWhenFullAndWithTheirAccount) {
  SessionStore store(2);
  Session alice;
  alice.accountId = "1";
  const auto first = store.open(alice), second = store.open(alice);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_FALSE(store.open(alice));  // full
  EXPECT_TRUE(store.use(*first, std::chrono::seconds(60)));
  const std::string other = ((*first)[0] == '0' ? "1" : "0") + first->substr(1);
  EXPECT_FALSE(store.use(other, std::chrono::seconds(60)));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(store.use(*first, std::chrono::seconds(0)));  // idle past the timeout
  EXPECT_TRUE(store.list(std::chrono::seconds(60)).empty());
  const auto third = store.open(alice);
  store.closeAccount("1");
  EXPECT_FALSE(store.use(*third, std::chrono::seconds(60)));
}

}  // namespace
}  // namespace qel::redfish
