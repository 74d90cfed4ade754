// SPDX-License-Identifier: Apache-2.0
// The account service: its lockout policy, the accounts (created, changed, removed) and the
// three fixed roles.
#include <algorithm>

#include "redfish/base_messages.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "tools/http/password.hpp"
#include "tools/log.hpp"

namespace qel::redfish::accounts {
namespace {

constexpr std::string_view kServiceUri = "/redfish/v1/AccountService";
constexpr std::string_view kRolesUri = "/redfish/v1/AccountService/Roles";

constexpr Writable kServiceWritable[] = {{"/AccountLockoutThreshold", ValueKind::kInteger},
                                         {"/AccountLockoutDuration", ValueKind::kInteger},
                                         {"/AccountLockoutCounterResetAfter", ValueKind::kInteger}};
constexpr Writable kAccountWritable[] = {
    {"/UserName", ValueKind::kString}, {"/Password", ValueKind::kString},
    {"/RoleId", ValueKind::kString},   {"/Enabled", ValueKind::kBoolean},
    {"/Locked", ValueKind::kBoolean},  {"/PasswordChangeRequired", ValueKind::kBoolean}};

std::string accountUri(const std::string &id) { return std::string(kAccountsUri) + "/" + id; }
std::string roleUri(Role role) {
  return std::string(kRolesUri) + "/" + std::string(roleName(role));
}

Json payload(const AccountView &account) {
  Json payload = resource(kManagerAccount, accountUri(account.id), account.id, "User Account");
  payload["UserName"] = account.userName;
  payload["RoleId"] = roleName(account.role);
  payload["Enabled"] = account.enabled;
  payload["Locked"] = account.locked;
  payload["PasswordChangeRequired"] = account.passwordChangeRequired;
  payload["Password"] = nullptr;  // never shown
  payload["AccountTypes"] = {"Redfish"};
  payload["Links"] = {{"Role", link(roleUri(account.role))}};
  return payload;
}

bool goodPasswordLength(const std::string &password) {
  return password.size() >= kShortestPassword && password.size() <= kLongestPassword;
}

AccountView found(Exchange &ex) {
  auto account = ex.state.accounts.find(ex.ids[0]);
  if (!account) throw Failure{404, base::resourceNotFound("ManagerAccount", ex.ids[0])};
  return *account;
}

void applyPolicy(Exchange &ex, PatchPlan &plan) {
  AccountPolicy policy = ex.state.accounts.policy();
  const std::pair<std::string_view, unsigned *> fields[] = {
      {"/AccountLockoutThreshold", &policy.lockoutThreshold},
      {"/AccountLockoutDuration", &policy.lockoutDuration},
      {"/AccountLockoutCounterResetAfter", &policy.lockoutCounterResetAfter}};
  std::vector<std::string_view> changed;
  for (const auto &[pointer, target] : fields) {
    const Json *value = plan.value(pointer);
    if (value == nullptr) continue;
    const long long number = value->get<long long>();
    if (number < 0 || number > kLongestLockout) {
      plan.refuse(pointer,
                  base::propertyValueOutOfRange(std::to_string(number), propertyName(pointer)));
      continue;
    }
    *target = static_cast<unsigned>(number);
    changed.push_back(pointer);
  }
  if (changed.empty()) return;
  const bool fits = policyProblem(policy).empty();
  const bool stored = fits && ex.state.accounts.setPolicy(policy) == Change::kDone;
  for (std::string_view pointer : changed) {
    if (stored) {
      ++plan.applied;
    } else {
      plan.refuse(pointer, fits ? base::propertyNotUpdated(propertyName(pointer))
                                : base::propertyValueConflict(propertyName(pointer),
                                                              "AccountLockoutDuration"));
    }
  }
}

// Checks one account property, refusing it in the plan when it is not acceptable.
bool acceptable(PatchPlan &plan, std::string_view pointer, std::optional<Role> &role) {
  const Json &value = *plan.value(pointer);
  const std::string name = propertyName(pointer);
  if (pointer == "/UserName" && !isValidUserName(value.get<std::string>())) {
    plan.refuse(pointer, base::propertyValueFormatError(value.get<std::string>(), name));
  } else if (pointer == "/Password" && !goodPasswordLength(value.get<std::string>())) {
    plan.refuse(pointer, base::passwordIncorrectLength());
  } else if (pointer == "/RoleId" && !(role = roleNamed(value.get<std::string>()))) {
    plan.refuse(pointer, base::propertyValueNotInList(value.get<std::string>(), name));
  } else if (pointer == "/Locked" && value.get<bool>()) {
    // Only the service locks an account; a client may only unlock it.
    plan.refuse(pointer, base::propertyValueNotInList("true", name));
  } else {
    return true;
  }
  return false;
}

void applyAccount(Exchange &ex, PatchPlan &plan) {
  const std::string id = found(ex).id;
  std::optional<Role> role;
  std::vector<std::string_view> taken;
  for (const Writable &w : kAccountWritable) {
    if (plan.value(w.pointer) && acceptable(plan, w.pointer, role)) taken.push_back(w.pointer);
  }
  if (taken.empty()) return;
  std::optional<std::string> hash;
  if (const Json *password = plan.value("/Password");
      password && std::find(taken.begin(), taken.end(), "/Password") != taken.end()) {
    hash = http::hashPassword(password->get<std::string>());
    if (!hash) throw Failure{500, base::internalError()};
  }
  auto has = [&](std::string_view p) {
    return std::find(taken.begin(), taken.end(), p) != taken.end();
  };
  const Change change = ex.state.accounts.update(id, [&](StoredAccount &account) {
    if (has("/UserName")) account.userName = plan.value("/UserName")->get<std::string>();
    if (hash) account.passwordHash = *hash;
    if (role) account.role = *role;
    if (has("/Enabled")) account.enabled = plan.value("/Enabled")->get<bool>();
    if (has("/PasswordChangeRequired")) {
      account.passwordChangeRequired = plan.value("/PasswordChangeRequired")->get<bool>();
    }
    // Changing one's own password is what a required change asks for.
    if (hash && ex.asSelf) account.passwordChangeRequired = false;
  });
  if (change == Change::kNotFound) throw Failure{404, base::resourceNotFound("ManagerAccount", id)};
  for (std::string_view pointer : taken) {
    if (change == Change::kDone) {
      ++plan.applied;
    } else if (change == Change::kNameTaken && pointer == "/UserName") {
      plan.refuse(pointer, base::resourceAlreadyExists("ManagerAccount", "UserName",
                                                       plan.value(pointer)->get<std::string>()));
    } else {
      plan.refuse(pointer, base::propertyNotUpdated(propertyName(pointer)));
    }
  }
  if (change != Change::kDone) return;
  if (has("/Locked")) ex.state.accounts.unlock(id);
  // A new password or a disabled account ends the account's other sessions.
  if (hash || (has("/Enabled") && !plan.value("/Enabled")->get<bool>())) {
    ex.state.sessions.closeAccount(id, ex.caller.accountId == id ? ex.caller.sessionId : "");
  }
  tools::logLine(tools::LogLevel::kInfo,
                 "user=" + tools::logValue(ex.caller.userName) + " account=" + id,
                 "account changed");
}

}  // namespace

const PatchRule kServicePatch{kServiceWritable, applyPolicy};
const PatchRule kAccountPatch{kAccountWritable, applyAccount};

Json service(Exchange &ex) {
  const AccountPolicy policy = ex.state.accounts.policy();
  Json service = resource(kAccountService, kServiceUri, "AccountService", "Account Service");
  service["ServiceEnabled"] = true;
  service["LocalAccountAuth"] = "Enabled";
  service["MinPasswordLength"] = kShortestPassword;
  service["MaxPasswordLength"] = kLongestPassword;
  service["AccountLockoutThreshold"] = policy.lockoutThreshold;
  service["AccountLockoutDuration"] = policy.lockoutDuration;
  service["AccountLockoutCounterResetAfter"] = policy.lockoutCounterResetAfter;
  service["AccountLockoutCounterResetEnabled"] = true;
  service["SupportedAccountTypes"] = {"Redfish"};
  service["Accounts"] = link(kAccountsUri);
  service["Roles"] = link(kRolesUri);
  service["Status"] = status("Enabled", "OK");
  return service;
}

Json collection(Exchange &ex) {
  std::vector<std::string> uris;
  // Without ConfigureUsers a caller sees its own account only.
  const bool all = (ex.caller.privileges() & kConfigureUsers) != 0;
  for (const AccountView &a : ex.state.accounts.list()) {
    if (all || a.id == ex.caller.accountId) uris.push_back(accountUri(a.id));
  }
  return redfish::collection("ManagerAccount", kAccountsUri, "Accounts", uris);
}

void create(Exchange &ex) {
  const Json body = parseBody(ex.request.body, ex.request.headers.find("Content-Type"));
  static constexpr Field kFields[] = {{"UserName", ValueKind::kString, true},
                                      {"Password", ValueKind::kString, true},
                                      {"RoleId", ValueKind::kString, true},
                                      {"Enabled", ValueKind::kBoolean, false},
                                      {"AccountTypes", ValueKind::kStringList, false}};
  checkFields(body, kFields);
  const std::string name = body["UserName"], password = body["Password"], roleText = body["RoleId"];
  const auto role = roleNamed(roleText);
  if (!isValidUserName(name)) throw Failure{400, base::propertyValueFormatError(name, "UserName")};
  if (!goodPasswordLength(password)) throw Failure{400, base::passwordIncorrectLength()};
  if (!role) throw Failure{400, base::propertyValueNotInList(roleText, "RoleId")};
  if (body.contains("AccountTypes") && body["AccountTypes"] != Json::array({"Redfish"})) {
    throw Failure{400, base::propertyValueNotInList(render(body["AccountTypes"]), "AccountTypes")};
  }
  const auto hash = http::hashPassword(password);
  if (!hash) throw Failure{500, base::internalError()};
  std::string id;
  switch (ex.state.accounts.create(name, *role, *hash, body.value("Enabled", true), id)) {
    case Change::kDone:
      break;
    case Change::kNameTaken:
      throw Failure{409, base::resourceAlreadyExists("ManagerAccount", "UserName", name)};
    case Change::kFull:
      throw Failure{400, base::createLimitReachedForResource()};
    default:
      throw Failure{500, base::internalError()};
  }
  tools::logLine(tools::LogLevel::kInfo,
                 "user=" + tools::logValue(ex.caller.userName) + " account=" + id +
                     " name=" + tools::logValue(name) + " role=" + roleText,
                 "account created");
  ex.response.headers.set("Location", accountUri(id));
  respond(ex, 201, payload(*ex.state.accounts.find(id)));
}

Json account(Exchange &ex) { return payload(found(ex)); }

void remove(Exchange &ex) {
  const Change change = ex.state.accounts.remove(ex.ids[0]);
  if (change == Change::kNotFound) {
    throw Failure{404, base::resourceNotFound("ManagerAccount", ex.ids[0])};
  }
  if (change != Change::kDone) throw Failure{500, base::internalError()};
  ex.state.sessions.closeAccount(ex.ids[0]);
  tools::logLine(tools::LogLevel::kInfo,
                 "user=" + tools::logValue(ex.caller.userName) + " account=" + ex.ids[0],
                 "account removed");
  ex.response.status = 204;
}

Json roles(Exchange &) {
  std::vector<std::string> uris;
  for (Role role : kRoles) uris.push_back(roleUri(role));
  return redfish::collection("Role", kRolesUri, "Roles", uris);
}

Json role(Exchange &ex) {
  const auto role = roleNamed(ex.ids[0]);
  if (!role) throw Failure{404, base::resourceNotFound("Role", ex.ids[0])};
  const std::string name(roleName(*role));
  Json payload = resource(kRole, roleUri(*role), name, name + " role");
  payload["RoleId"] = name;
  payload["IsPredefined"] = true;
  payload["AssignedPrivileges"] = privilegeNames(privilegesOf(*role));
  return payload;
}

}  // namespace qel::redfish::accounts
