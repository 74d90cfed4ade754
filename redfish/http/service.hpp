// SPDX-License-Identifier: Apache-2.0
// The service's one handler of HTTP requests. For every request, in this order: the route;
// credentials, unless the operation is open (a GET with If-None-Match and no credentials gets
// 401, never 304); the method (405 with Allow, 501 for a method HTTP does not know); the
// privilege; OData-Version (412 for anything but 4.0); query parameters ($ ones are 501, others
// ignored); If-Match and If-None-Match; then the handler. Every answer carries OData-Version
// 4.0, and every error a Base registry message.
#pragma once

#include "redfish/http/exchange.hpp"
#include "tools/http/server.hpp"

namespace qel::redfish {

class Service {
 public:
  explicit Service(ServiceState &state) : state_(state) {}
  void operator()(const http::Request &request, http::Response &response);

 private:
  ServiceState &state_;
};

}  // namespace qel::redfish
