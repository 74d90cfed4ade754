// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/authentication.hpp"

#include "redfish/base_messages.hpp"
#include "tools/log.hpp"

namespace qel::redfish {
namespace {

Failure unauthorized() { return {401, base::accessUnauthorized()}; }

}  // namespace

Caller callerOf(const AccountView &account, std::string sessionId) {
  return {account.id, account.userName, account.role, std::move(sessionId),
          account.passwordChangeRequired};
}

void requireSecure(const http::Request &request) {
  if (request.secure) return;
  tools::logLine(tools::LogLevel::kWarn, "peer=" + tools::logValue(request.peer),
                 "credentials over plain HTTP refused");
  throw Failure{403, base::accessForbidden()};
}

Caller authenticate(const http::Request &request, ServiceState &state) {
  const std::chrono::seconds timeout(state.accounts.policy().sessionTimeout);
  if (const std::string *token = request.headers.find("X-Auth-Token")) {
    requireSecure(request);
    const auto session = state.sessions.use(*token, timeout);
    const auto account = session ? state.accounts.find(session->accountId) : std::nullopt;
    if (!account || !account->enabled) {
      if (session) state.sessions.close(session->id);
      tools::logLine(tools::LogLevel::kWarn, "peer=" + tools::logValue(request.peer),
                     "session token refused");
      throw unauthorized();
    }
    return callerOf(*account, session->id);
  }
  if (const auto credentials = http::basicCredentials(request)) {
    requireSecure(request);
    if (const auto account = state.accounts.authenticate(credentials->first, credentials->second)) {
      return callerOf(*account);
    }
    tools::logLine(tools::LogLevel::kWarn,
                   "peer=" + tools::logValue(request.peer) +
                       " user=" + tools::logValue(credentials->first.substr(0, 64)),
                   "authentication failed");
  }
  throw unauthorized();
}

}  // namespace qel::redfish
