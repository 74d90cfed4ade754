// SPDX-License-Identifier: Apache-2.0
// Every resource of the service, with each method's handler and the privilege it needs (as
// DMTF's privilege map gives them). The dispatcher checks the privilege before a handler runs,
// so no handler checks one itself, and a write declared without one is refused to everybody.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "redfish/http/exchange.hpp"
#include "redfish/http/request_body.hpp"

namespace qel::redfish {

// The resource's representation; throws a Failure (404, 503, ...).
using Build = Json (*)(Exchange &);
// A POST or DELETE: sets the response.
using Act = void (*)(Exchange &);
// Applies what a PATCH plan accepted, refusing in the plan what the SP refuses.
using Apply = void (*)(Exchange &, PatchPlan &);

struct PatchRule {
  std::span<const Writable> writable;
  Apply apply = nullptr;
};

struct Route {
  std::string_view pattern;  // "/redfish/v1/Chassis/{}/Sensors/{}"
  Build get = nullptr;       // GET and HEAD
  Access read{kLogin};
  const PatchRule *patch = nullptr;
  Access modify{};
  Act post = nullptr;
  Access create{};
  Act remove = nullptr;  // DELETE
  Access erase{};
};

std::span<const Route> routes();
// The route of a percent-decoded path, with its {} segments in `ids`; null when none.
const Route *findRoute(std::string_view path, std::vector<std::string> &ids);
// "GET, HEAD, PATCH" and so on, for Allow.
std::string allowedMethods(const Route &route);

}  // namespace qel::redfish
