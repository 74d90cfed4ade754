// SPDX-License-Identifier: Apache-2.0
// What a handler of a route gets: the request, the response, the route's path parameters, who
// asks, and the service's shared state and SP.
#pragma once

#include <string>
#include <vector>

#include "redfish/accounts/account_store.hpp"
#include "redfish/http/privileges.hpp"
#include "redfish/http/sessions.hpp"
#include "redfish/resources/sp_link.hpp"
#include "tools/http/server.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::redfish {

struct ServiceSettings {
  SpTarget sp;
  tools::SensorMapping mapping = tools::defaultMapping();
  bool tls = true;  // served over HTTPS; over plain HTTP credentials are refused
  int port = 443;
  std::string uuid;  // the service's, kept across restarts
  std::size_t mostSessions = 64;
};

struct ServiceState {
  ServiceSettings settings;
  AccountStore &accounts;
  SessionStore &sessions;
};

// An authenticated caller; empty for a request to an open resource.
struct Caller {
  std::string accountId;
  std::string userName;
  Role role = Role::kReadOnly;
  std::string sessionId;  // "" under Basic authentication
  bool passwordChangeRequired = false;
  unsigned privileges() const { return accountId.empty() ? 0 : privilegesOf(role); }
};

struct Exchange {
  const http::Request &request;
  http::Response &response;
  std::vector<std::string> ids;  // the route's {} segments, in order
  Caller caller;
  bool asSelf = false;  // allowed through ConfigureSelf only: the caller's own resource
  ServiceState &state;
  SpLink &sp;
};

// Answers `status` with `payload` (a JSON string: an XML document).
void respond(Exchange &ex, int status, const Json &payload);

}  // namespace qel::redfish
