#include "cli/result_names.hpp"

#include <qel.h>

#include <array>

namespace qel::cli {
namespace {

constexpr std::array kResultNames{
    ResultName{RESULT_OK, "RESULT_OK", "success"},
    ResultName{RESULT_CALL_FAILED, "RESULT_CALL_FAILED", "no reply from the management server"},
    ResultName{RESULT_NOT_CONNECTED, "RESULT_NOT_CONNECTED", "not connected"},
    ResultName{RESULT_INVALID_ARGUMENT, "RESULT_INVALID_ARGUMENT", "invalid argument"},
    ResultName{RESULT_NOT_AVAILABLE, "RESULT_NOT_AVAILABLE", "value not available"},
    ResultName{RESULT_NULL_ARGUMENT, "RESULT_NULL_ARGUMENT", "missing argument"},
    ResultName{RESULT_NO_RESOURCES, "RESULT_NO_RESOURCES", "out of memory or client set-up failed"},
    ResultName{RESULT_CONNECTION_REFUSED, "RESULT_CONNECTION_REFUSED", "connection refused"},
    ResultName{RESULT_HOST_UNREACHABLE, "RESULT_HOST_UNREACHABLE", "host unreachable"},
    ResultName{RESULT_HOST_DOWN, "RESULT_HOST_DOWN", "host down"},
    ResultName{RESULT_FILE_UNAVAILABLE, "RESULT_FILE_UNAVAILABLE", "product map file unavailable"},
    ResultName{RESULT_NOT_REGISTERED, "RESULT_NOT_REGISTERED", "program not registered"},
    ResultName{RESULT_TOO_MANY_VALUES, "RESULT_TOO_MANY_VALUES", "too many values"},
};

}  // namespace

const ResultName *findResultName(unsigned code) {
  for (const auto &name : kResultNames) {
    if (name.code == code) return &name;
  }
  return nullptr;
}

std::string describeResult(unsigned code) {
  const auto number = std::to_string(code);
  const ResultName *name = findResultName(code);
  if (name == nullptr) return "refused by the management server (" + number + ")";
  return std::string(name->message) + " (" + std::string(name->symbol) + ", " + number + ")";
}

int exitStatusFor(unsigned code) {
  if (code == RESULT_OK) return kExitSuccess;
  return findResultName(code) != nullptr ? kExitLibraryFailure : kExitServerRefused;
}

}  // namespace qel::cli
