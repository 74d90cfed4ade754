// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/service.hpp"

#include <algorithm>
#include <array>

#include "redfish/base_messages.hpp"
#include "redfish/http/authentication.hpp"
#include "redfish/http/etag.hpp"
#include "redfish/http/routes.hpp"
#include "redfish/resources/payload.hpp"
#include "tools/log.hpp"

namespace qel::redfish {
namespace {

constexpr std::array<std::string_view, 9> kHttpMethods{
    "GET", "HEAD", "POST", "PATCH", "PUT", "DELETE", "OPTIONS", "TRACE", "CONNECT"};

struct Operation {
  bool exists = false;
  Access access;
};

Operation operationFor(const Route *route, const std::string &method) {
  if (route == nullptr) return {};
  if (method == "GET" || method == "HEAD") return {route->get != nullptr, route->read};
  if (method == "PATCH") return {route->patch != nullptr, route->modify};
  if (method == "POST") return {route->post != nullptr, route->create};
  if (method == "DELETE") return {route->remove != nullptr, route->erase};
  return {};
}

// Whether the resource the request names is the caller's own.
bool owns(const Exchange &ex, Own own) {
  if (ex.ids.empty() || ex.caller.accountId.empty()) return false;
  if (own == Own::kAccount) return ex.ids.back() == ex.caller.accountId;
  if (own != Own::kSession) return false;
  const std::chrono::seconds timeout(ex.state.accounts.policy().sessionTimeout);
  const auto session = ex.state.sessions.find(ex.ids.back(), timeout);
  return session && session->accountId == ex.caller.accountId;
}

void checkPrivilege(Exchange &ex, const Access &access) {
  const bool own = access.self != Own::kNothing && owns(ex, access.self);
  // An account that must change its password may reach only itself and its own session.
  if (ex.caller.passwordChangeRequired && !own) {
    throw Failure{
        403, base::passwordChangeRequired(std::string(kAccountsUri) + "/" + ex.caller.accountId)};
  }
  const unsigned held = ex.caller.privileges();
  if (!ex.caller.passwordChangeRequired && access.privilege != 0 &&
      (held & access.privilege) == access.privilege) {
    return;
  }
  if (own && (held & kConfigureSelf) != 0) {
    ex.asSelf = true;
    return;
  }
  throw Failure{403, base::insufficientPrivilege()};
}

std::string describedBy(const Json &payload) {
  const std::string type = payload.is_object() ? payload.value("@odata.type", "") : "";
  if (type.size() < 2) return "";
  // "#Sensor.v1_12_0.Sensor" -> Sensor.v1_12_0.json; "#X.X" -> X.json
  const std::string file = type.substr(1, type.rfind('.') - 1) + ".json";
  return "<http://redfish.dmtf.org/schemas/v1/" + file + ">; rel=describedby";
}

void answerGet(const Route &route, Exchange &ex) {
  const Json payload = route.get(ex);
  const std::string etag = etagOf(payload);
  ex.response.headers.set("ETag", etag);
  ex.response.headers.set("Allow", allowedMethods(route));
  if (const std::string link = describedBy(payload); !link.empty()) {
    ex.response.headers.set("Link", link);
  }
  const std::string *noneMatch = ex.request.headers.find("If-None-Match");
  if (noneMatch != nullptr && listsEtag(*noneMatch, etag)) {
    ex.response.status = 304;
    return;
  }
  respond(ex, 200, payload);
}

// The resource as it stands, refused with 412 when If-Match does not name it.
Json checkedCurrent(const Route &route, Exchange &ex) {
  Json current = route.get ? route.get(ex) : Json::object();
  const std::string *ifMatch = ex.request.headers.find("If-Match");
  if (ifMatch != nullptr && !listsEtag(*ifMatch, etagOf(current))) {
    throw Failure{412, base::preconditionFailed()};
  }
  return current;
}

void answerPatch(const Route &route, Exchange &ex) {
  const Json current = checkedCurrent(route, ex);
  const Json body = parseBody(ex.request.body, ex.request.headers.find("Content-Type"));
  if (body.empty()) throw Failure{400, base::emptyJSON()};
  PatchPlan plan = planPatch(body, current, route.patch->writable);
  // Through ConfigureSelf alone, only what one may change of one's own (the password).
  if (ex.asSelf) {
    for (const auto &[pointer, value] : plan.accepted) {
      if (pointer != "/Password") throw Failure{403, base::insufficientPrivilege()};
    }
  }
  if (plan.accepted.empty()) throw Failure{400, std::move(plan.problems)};
  route.patch->apply(ex, plan);
  if (plan.applied == 0) throw Failure{400, std::move(plan.problems)};
  Json updated = route.get(ex);
  ex.response.headers.set("ETag", etagOf(updated));
  if (!plan.problems.empty()) updated["@Message.ExtendedInfo"] = plan.problems;
  respond(ex, 200, updated);
}

void baseHeaders(Exchange &ex, bool open);

void serve(const Route *route, Exchange &ex) {
  const http::Request &request = ex.request;
  const Operation operation = operationFor(route, request.method);
  const bool open = operation.exists && (operation.access.privilege & kOpen) != 0;
  baseHeaders(ex, open);
  if (!open) ex.caller = authenticate(request, ex.state);
  if (route == nullptr) throw Failure{404, base::resourceMissingAtURI(request.path)};
  if (std::find(kHttpMethods.begin(), kHttpMethods.end(), request.method) == kHttpMethods.end()) {
    throw Failure{501, base::operationNotAllowed()};
  }
  if (!operation.exists) throw Failure{405, base::operationNotAllowed()};
  if (!open) checkPrivilege(ex, operation.access);
  const std::string *version = request.headers.find("OData-Version");
  if (version != nullptr && *version != "4.0") {
    throw Failure{412, base::headerInvalid("OData-Version")};
  }
  for (const auto &[name, value] : request.parameters) {
    if (name.starts_with('$')) throw Failure{501, base::queryNotSupported()};
  }
  if (request.method == "GET" || request.method == "HEAD") {
    answerGet(*route, ex);
  } else if (request.method == "PATCH") {
    answerPatch(*route, ex);
  } else if (request.method == "POST") {
    route->post(ex);
  } else {
    checkedCurrent(*route, ex);
    route->remove(ex);
  }
}

// What every answer carries.
void baseHeaders(Exchange &ex, bool open) {
  http::Headers &headers = ex.response.headers;
  headers.set("OData-Version", "4.0");
  headers.set("Cache-Control", open ? "no-cache" : "no-store");
  headers.set("X-Content-Type-Options", "nosniff");
  if (ex.request.secure) headers.set("Strict-Transport-Security", "max-age=31536000");
}

void answerFailure(Exchange &ex, const Route *route, const Failure &failure) {
  // Nothing a handler set before it failed (a Location, a token) goes out with the error.
  ex.response.headers = {};
  baseHeaders(ex, ex.caller.accountId.empty());
  http::Headers &headers = ex.response.headers;
  if (failure.status == 401) headers.set("WWW-Authenticate", "Basic realm=\"qel-redfishd\"");
  if (failure.status == 405 && route != nullptr) headers.set("Allow", allowedMethods(*route));
  if (failure.status == 503) headers.set("Retry-After", std::to_string(kRetryAfterSeconds));
  respond(ex, failure.status, errorBody(failure.messages));
}

}  // namespace

void respond(Exchange &ex, int status, const Json &payload) {
  ex.response.status = status;
  // A document (the CSDL of $metadata) is built as a JSON string holding its XML.
  const bool document = payload.is_string();
  ex.response.headers.set("Content-Type",
                          document ? "application/xml" : "application/json; charset=utf-8");
  ex.response.body = document ? payload.get<std::string>() : render(payload);
}

void Service::operator()(const http::Request &request, http::Response &response) {
  SpLink sp(state_.settings.sp, std::chrono::steady_clock::now() + state_.settings.sp.budget);
  std::vector<std::string> ids;
  const Route *route = findRoute(request.path, ids);
  Exchange ex{request, response, std::move(ids), {}, false, state_, sp};
  try {
    serve(route, ex);
  } catch (const Failure &failure) {
    answerFailure(ex, route, failure);
  } catch (const std::exception &e) {
    tools::logLine(
        tools::LogLevel::kError,
        "method=" + tools::logValue(request.method) + " path=" + tools::logValue(request.path),
        std::string("request failed: ") + e.what());
    answerFailure(ex, route, {500, base::internalError()});
  }
}

}  // namespace qel::redfish
