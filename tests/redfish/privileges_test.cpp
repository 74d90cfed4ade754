// SPDX-License-Identifier: Apache-2.0
// Who may do what: every write against each role, as DMTF's privilege map gives it; sessions,
// lockout, a password that must be changed, and credentials over plain HTTP.
#include "service_fixture.hpp"

namespace qel::test {
namespace {

struct Write {
  Call call;
  int admin, operatorRole, reader;  // the status each role gets
};

TEST_F(ServiceTest, EachRoleAgainstEachWrite) {
  const std::string spare = "/redfish/v1/AccountService/Accounts/";
  const Write writes[] = {
      {{"PATCH", "/redfish/v1/Chassis/chassis/Sensors/cpu0-temp",
        "{\"Thresholds\":{\"UpperCaution\":{\"Reading\":84}}}"},
       200,
       200,
       403},
      {{"POST", "/redfish/v1/Systems/system/Actions/ComputerSystem.Reset",
        "{\"ResetType\":\"PushPowerButton\"}"},
       204,
       204,
       403},
      {{"PATCH", "/redfish/v1/Chassis/chassis/Controls/PowerLimit", "{\"SetPoint\":90}"},
       200,
       200,
       403},
      {{"PATCH", "/redfish/v1/Managers/sp", "{\"DateTime\":\"2030-01-01T00:00:00Z\"}"},
       200,
       403,
       403},
      {{"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/0", "{\"HostName\":\"sp-b\"}"},
       200,
       403,
       403},
      {{"PATCH", "/redfish/v1/Managers/sp/SerialInterfaces/console", "{\"StopBits\":\"2\"}"},
       200,
       403,
       403},
      {{"POST", "/redfish/v1/Managers/sp/Actions/Manager.Reset",
        "{\"ResetType\":\"GracefulRestart\"}"},
       204,
       403,
       403},
      {{"POST", "/redfish/v1/Managers/sp/Actions/Manager.ResetToDefaults",
        "{\"ResetType\":\"ResetAll\"}"},
       204,
       403,
       403},
      {{"PATCH", "/redfish/v1/SessionService", "{\"SessionTimeout\":600}"}, 200, 403, 403},
      {{"PATCH", "/redfish/v1/AccountService", "{\"AccountLockoutThreshold\":4}"}, 200, 403, 403},
      {{"POST", "/redfish/v1/AccountService/Accounts",
        "{\"UserName\":\"spare\",\"Password\":\"spare-secret\",\"RoleId\":\"ReadOnly\"}"},
       201,
       403,
       403},
      {{"PATCH", spare + "4", "{\"RoleId\":\"Operator\"}"}, 200, 403, 403},
      {{"GET", spare + "4"}, 200, 403, 403},
      {{"DELETE", spare + "4"}, 204, 403, 403},
  };
  for (const Write &w : writes) {
    for (const auto &[who, status] :
         {std::pair{Who::kReader, w.reader}, std::pair{Who::kOperator, w.operatorRole},
          std::pair{Who::kAdmin, w.admin}}) {
      Call c = w.call;
      c.who = who;
      const Reply reply = call(c);
      EXPECT_EQ(reply.status, status)
          << c.method << " " << c.target << " as " << static_cast<int>(who) << ": " << reply.body;
      if (status == 403) {
        EXPECT_EQ(reply.at("/error/code"), "\"Base.1.22.1.InsufficientPrivilege\"");
      }
    }
  }
  EXPECT_EQ(calls("RebootSP"), 1);
  EXPECT_EQ(calls("ResetToDefaultSettings"), 1);
  EXPECT_EQ(calls("PlatformButton"), 2);
}

TEST_F(ServiceTest, EveryoneReachesTheirOwnAccountAndSessionOnly) {
  const std::string accounts = "/redfish/v1/AccountService/Accounts";
  for (Who who : {Who::kReader, Who::kOperator}) {
    const std::string own = accounts + "/" + accountId(who);
    EXPECT_EQ(call({"GET", own, "", who}).status, 200);
    EXPECT_EQ(call({"GET", accounts + "/" + accountId(Who::kAdmin), "", who}).status, 403);
    EXPECT_EQ(call({"GET", accounts, "", who}).at("/Members@odata.count"), "1");
    // ConfigureSelf: one's own password, nothing else of one's own.
    EXPECT_EQ(call({"PATCH", own, "{\"RoleId\":\"Administrator\"}", who}).status, 403);
    EXPECT_EQ(
        call({"PATCH", own, "{\"Password\":\"another-secret\",\"Enabled\":true}", who}).status,
        403);
    EXPECT_EQ(call({"PATCH", own, "{\"Password\":\"another-secret\"}", who}).status, 200);
    EXPECT_EQ(
        call({"GET", "/redfish/v1/SessionService/Sessions", "", who}).at("/Members@odata.count"),
        "1");
  }
  EXPECT_EQ(call({"GET", accounts}).at("/Members@odata.count"), "3");
  EXPECT_EQ(call({"GET", "/redfish/v1/SessionService/Sessions"}).at("/Members@odata.count"), "3");
  // A session is closed by its owner or an administrator; its token then opens nothing.
  const std::string sessions = "/redfish/v1/SessionService/Sessions/";
  const std::string operatorSession =
      call({"GET", sessions, "", Who::kOperator}).at("/Members/0/@odata.id");
  const std::string path = operatorSession.substr(1, operatorSession.size() - 2);
  EXPECT_EQ(call({"DELETE", path, "", Who::kReader}).status, 403);
  EXPECT_EQ(call({"DELETE", path, "", Who::kOperator}).status, 204);
  EXPECT_EQ(call({"GET", "/redfish/v1/Systems", "", Who::kOperator}).status, 401);
}

TEST_F(ServiceTest, LoginBasicLockoutAndARequiredPasswordChange) {
  const Reply login =
      call({"POST", "/redfish/v1/SessionService/Sessions",
            "{\"UserName\":\"reader\",\"Password\":\"reader-secret\"}", Who::kNobody});
  EXPECT_EQ(login.status, 201);
  EXPECT_EQ(login.header("X-Auth-Token").size(), 64u);
  EXPECT_EQ(login.header("Location").rfind("/redfish/v1/SessionService/Sessions/", 0), 0u);
  EXPECT_EQ(login.at("/UserName"), "\"reader\"");
  const Call basic{
      "GET", "/redfish/v1/Systems", "", Who::kNobody, {{"Basic", "reader:reader-secret"}}};
  EXPECT_EQ(call(basic).status, 200);
  // Credentials over plain HTTP are refused, the right ones too.
  Call plain = basic;
  plain.headers.emplace_back("Plain-HTTP", "");
  EXPECT_EQ(call(plain).status, 403);

  EXPECT_EQ(call({"PATCH", "/redfish/v1/AccountService",
                  "{\"AccountLockoutThreshold\":3,\"AccountLockoutDuration\":60,"
                  "\"AccountLockoutCounterResetAfter\":60}"})
                .status,
            200);
  const Call wrong{
      "GET", "/redfish/v1/Systems", "", Who::kNobody, {{"Basic", "reader:guess-guess"}}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(call(wrong).status, 401);
  EXPECT_EQ(call(basic).status, 401);  // locked: the right password too
  const std::string reader = "/redfish/v1/AccountService/Accounts/" + accountId(Who::kReader);
  EXPECT_EQ(call({"GET", reader}).at("/Locked"), "true");
  EXPECT_EQ(call({"PATCH", reader, "{\"Locked\":true}"}).status, 400);
  EXPECT_EQ(call({"PATCH", reader, "{\"Locked\":false,\"PasswordChangeRequired\":true}"}).status,
            200);

  const Reply mustChange = call(basic);
  EXPECT_EQ(mustChange.status, 403);
  EXPECT_EQ(mustChange.at("/error/code"), "\"Base.1.22.1.PasswordChangeRequired\"");
  Call change{"PATCH",
              reader,
              "{\"Password\":\"a-new-secret\"}",
              Who::kNobody,
              {{"Basic", "reader:reader-secret"}}};
  EXPECT_EQ(call(change).status, 200);
  EXPECT_EQ(call(basic).status, 401);
  EXPECT_EQ(
      call({"GET", "/redfish/v1/Systems", "", Who::kNobody, {{"Basic", "reader:a-new-secret"}}})
          .status,
      200);
  // The new password ended the reader's session.
  EXPECT_EQ(call({"GET", "/redfish/v1/Systems", "", Who::kReader}).status, 401);
}

TEST_F(ServiceTest, AccountsChangeWithTheirTags) {
  const std::string accounts = "/redfish/v1/AccountService/Accounts";
  const Reply created = call({"POST", accounts,
                              "{\"UserName\":\"dave\",\"Password\":\"dave-secret\","
                              "\"RoleId\":\"Operator\",\"Enabled\":false}"});
  EXPECT_EQ(created.status, 201);
  EXPECT_EQ(created.header("Location"), accounts + "/4");
  EXPECT_EQ(created.at("/Password"), "null");
  const std::string etag = call({"GET", accounts + "/4"}).header("ETag");
  EXPECT_EQ(etag.size(), 18u);
  EXPECT_EQ(
      call({"PATCH", accounts + "/4", "{\"Enabled\":true}", Who::kAdmin, {{"If-Match", etag}}})
          .status,
      200);
  EXPECT_EQ(call({"PATCH",
                  accounts + "/4",
                  "{\"RoleId\":\"ReadOnly\"}",
                  Who::kAdmin,
                  {{"If-Match", etag}}})
                .status,
            412);
  EXPECT_EQ(call({"PATCH", accounts + "/4", "{\"UserName\":\"reader\"}"}).status, 400);
  EXPECT_EQ(call({"DELETE", accounts + "/4", "", Who::kAdmin, {{"If-Match", etag}}}).status, 412);
  EXPECT_EQ(call({"DELETE", accounts + "/4"}).status, 204);
  EXPECT_EQ(call({"DELETE", accounts + "/4"}).status, 404);
  // What the file holds afterwards, as another process reads it.
  redfish::AccountStore reread(dir_.string());
  std::string error;
  ASSERT_TRUE(reread.open(error)) << error;
  EXPECT_EQ(reread.list().size(), 3u);
}

}  // namespace
}  // namespace qel::test
