// SPDX-License-Identifier: Apache-2.0
// The session service: logging in (POST to Sessions, without credentials), the sessions, and
// logging out (DELETE).
#include <algorithm>

#include "redfish/base_messages.hpp"
#include "redfish/http/authentication.hpp"
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"
#include "tools/log.hpp"

namespace qel::redfish::sessions {
namespace {

constexpr std::string_view kServiceUri = "/redfish/v1/SessionService";
constexpr Writable kServiceWritable[] = {{"/SessionTimeout", ValueKind::kInteger}};

std::chrono::seconds timeout(Exchange &ex) {
  return std::chrono::seconds(ex.state.accounts.policy().sessionTimeout);
}

std::string sessionUri(const std::string &id) { return std::string(kSessionsUri) + "/" + id; }

Json payload(const Session &session) {
  Json payload = resource(kSession, sessionUri(session.id), session.id, "User Session");
  payload["UserName"] = session.userName;
  payload["SessionType"] = "Redfish";
  payload["CreatedTime"] = timestamp(session.created);
  payload["ClientOriginIPAddress"] = session.origin;
  if (!session.context.empty()) payload["Context"] = session.context;
  return payload;
}

void applyTimeout(Exchange &ex, PatchPlan &plan) {
  const long long seconds = plan.value("/SessionTimeout")->get<long long>();
  AccountPolicy policy = ex.state.accounts.policy();
  if (seconds < kShortestSessionTimeout || seconds > kLongestSessionTimeout) {
    plan.refuse("/SessionTimeout",
                base::propertyValueOutOfRange(std::to_string(seconds), "SessionTimeout"));
    return;
  }
  policy.sessionTimeout = static_cast<unsigned>(seconds);
  if (ex.state.accounts.setPolicy(policy) != Change::kDone) {
    plan.refuse("/SessionTimeout", base::propertyNotUpdated("SessionTimeout"));
    return;
  }
  ++plan.applied;
}

}  // namespace

const PatchRule kServicePatch{kServiceWritable, applyTimeout};

Json service(Exchange &ex) {
  Json service = resource(kSessionService, kServiceUri, "SessionService", "Session Service");
  service["ServiceEnabled"] = true;
  service["SessionTimeout"] = ex.state.accounts.policy().sessionTimeout;
  service["Sessions"] = link(kSessionsUri);
  service["Status"] = status("Enabled", "OK");
  return service;
}

Json collection(Exchange &ex) {
  std::vector<Session> all = ex.state.sessions.list(timeout(ex));
  // Without ConfigureManager a caller sees its own sessions only.
  if ((ex.caller.privileges() & kConfigureManager) == 0) {
    std::erase_if(all, [&](const Session &s) { return s.accountId != ex.caller.accountId; });
  }
  std::sort(all.begin(), all.end(), [](const Session &a, const Session &b) {
    return a.created != b.created ? a.created < b.created : a.id < b.id;
  });
  std::vector<std::string> uris;
  for (const Session &s : all) uris.push_back(sessionUri(s.id));
  return redfish::collection("Session", kSessionsUri, "Sessions", uris);
}

void login(Exchange &ex) {
  requireSecure(ex.request);
  const Json body = parseBody(ex.request.body, ex.request.headers.find("Content-Type"));
  static constexpr Field kFields[] = {{"UserName", ValueKind::kString, true},
                                      {"Password", ValueKind::kString, true},
                                      {"Context", ValueKind::kString, false}};
  checkFields(body, kFields);
  const std::string user = body["UserName"], password = body["Password"];
  const auto account = ex.state.accounts.authenticate(user, password);
  const std::string fields =
      "peer=" + tools::logValue(ex.request.peer) + " user=" + tools::logValue(user.substr(0, 64));
  if (!account) {
    tools::logLine(tools::LogLevel::kWarn, fields, "login failed");
    throw Failure{401, base::accessUnauthorized()};
  }
  Session session;
  session.accountId = account->id;
  session.userName = account->userName;
  session.origin = ex.request.peer;
  session.context = body.value("Context", "").substr(0, 256);
  const auto token = ex.state.sessions.open(session);
  if (!token) throw Failure{503, base::sessionLimitExceeded()};
  const auto opened = ex.state.sessions.use(*token, timeout(ex));
  tools::logLine(tools::LogLevel::kInfo, fields + " session=" + opened->id, "session opened");
  Json answer = payload(*opened);
  if (account->passwordChangeRequired) {
    answer["@Message.ExtendedInfo"] = {
        base::passwordChangeRequired(std::string(kAccountsUri) + "/" + account->id)};
  }
  ex.response.headers.set("Location", sessionUri(opened->id));
  ex.response.headers.set("X-Auth-Token", *token);
  respond(ex, 201, answer);
}

Json session(Exchange &ex) {
  const auto found = ex.state.sessions.find(ex.ids[0], timeout(ex));
  if (!found) throw Failure{404, base::resourceNotFound("Session", ex.ids[0])};
  return payload(*found);
}

void logout(Exchange &ex) {
  if (!ex.state.sessions.close(ex.ids[0])) {
    throw Failure{404, base::resourceNotFound("Session", ex.ids[0])};
  }
  tools::logLine(tools::LogLevel::kInfo,
                 "user=" + tools::logValue(ex.caller.userName) + " session=" + ex.ids[0],
                 "session closed");
  ex.response.status = 204;
}

}  // namespace qel::redfish::sessions
