// SPDX-License-Identifier: Apache-2.0
#include "redfish/resources/sp_link.hpp"

#include <qel.h>

#include "redfish/base_messages.hpp"
#include "tools/handle_wait.hpp"
#include "tools/result_names.hpp"

namespace qel::redfish {
namespace {

// A request with less time left than this is not worth a call.
constexpr auto kLeastWait = std::chrono::milliseconds(10);

bool unreachableCode(unsigned code) {
  switch (code) {
    case RESULT_CALL_FAILED:
    case RESULT_NO_RESOURCES:
    case RESULT_CONNECTION_REFUSED:
    case RESULT_HOST_UNREACHABLE:
    case RESULT_HOST_DOWN:
    case RESULT_NOT_REGISTERED:
      return true;
    default:
      return false;
  }
}

std::string serverCode(unsigned code) {
  return "the management server (code " + std::to_string(code) + ")";
}

}  // namespace

Failure SpLink::unavailable() {
  return {503, base::serviceTemporarilyUnavailable(std::to_string(kRetryAfterSeconds))};
}

void SpLink::prepare() {
  const auto left = deadline_ - std::chrono::steady_clock::now();
  if (left <= kLeastWait) throw unavailable();
  if (qelConnect(target_.host.c_str(), target_.program) != RESULT_OK) throw unavailable();
  tools::setHandleWait(std::chrono::duration_cast<std::chrono::microseconds>(left));
}

unsigned SpLink::checked(unsigned code) {
  if (unreachableCode(code)) throw unavailable();
  return code;
}

Failure SpLink::readFailure(unsigned code, std::string_view type, std::string_view id) {
  if (code == kCodeNoSuch && !type.empty()) return {404, base::resourceNotFound(type, id)};
  if (tools::findResultName(code) != nullptr) return {500, base::internalError()};
  return {500, base::undeterminedFault(serverCode(code))};
}

Json SpLink::propertyRefusal(unsigned code, std::string_view property, std::string_view value) {
  switch (code) {
    case kCodeBadValue:
      return base::propertyValueIncorrect(property, value);
    case kCodeNoReading:
    case RESULT_NOT_AVAILABLE:
    case kCodeWrongState:
      return base::propertyValueExternalConflict(property, value);
    default:
      return base::propertyNotUpdated(property);
  }
}

Failure SpLink::actionRefusal(unsigned code, std::string_view action, std::string_view value) {
  switch (code) {
    case kCodeBadValue:
      return {400, base::actionParameterValueError("ResetType", action)};
    case kCodeWrongState:
      return {409, base::actionParameterValueConflict("ResetType", value)};
    default:
      return readFailure(code, "", "");
  }
}

}  // namespace qel::redfish
