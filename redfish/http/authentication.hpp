// SPDX-License-Identifier: Apache-2.0
// Who a request comes from: the session of its X-Auth-Token, or the account of its Basic
// credentials. Nothing else (no cookie, no query parameter) is ever taken for credentials.
#pragma once

#include "redfish/http/exchange.hpp"

namespace qel::redfish {

// The caller of `request`. Throws 401 for missing or wrong credentials and for a session
// whose account is gone or disabled, 403 for credentials sent over plain HTTP.
Caller authenticate(const http::Request &request, ServiceState &state);

Caller callerOf(const AccountView &account, std::string sessionId = "");

// Refuses (403) a login or credentials that came over plain HTTP.
void requireSecure(const http::Request &request);

}  // namespace qel::redfish
