// SPDX-License-Identifier: Apache-2.0
#include "tools/result_names.hpp"

#include <qel.h>

#include <array>
#include <cctype>

namespace qel::tools {
namespace {

// What a code means to someone at a shell, where its name alone says too little.
constexpr std::string_view wording(unsigned code) {
  switch (code) {
    case RESULT_OK:
      return "success";
    case RESULT_CALL_FAILED:
      return "no reply from the management server";
    case RESULT_NOT_AVAILABLE:
      return "value not available";
    case RESULT_NULL_ARGUMENT:
      return "missing argument";
    case RESULT_NO_RESOURCES:
      return "out of memory or client set-up failed";
    case RESULT_FILE_UNAVAILABLE:
      return "product map file unavailable";
    case RESULT_NOT_REGISTERED:
      return "program not registered";
    default:
      return {};
  }
}

// Every code the header defines, with its name.
constexpr std::array kResultNames{
#define QEL_RESULT(symbol) ResultName{symbol, #symbol, wording(symbol)},
#include "result_codes.inc"
#undef QEL_RESULT
};

// The name read as words: RESULT_HOST_DOWN is "host down".
std::string nameAsWords(std::string_view symbol) {
  std::string words(symbol.substr(symbol.find('_') + 1));
  for (char &c : words) c = c == '_' ? ' ' : static_cast<char>(std::tolower(c));
  return words;
}

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
  const std::string message =
      name->message.empty() ? nameAsWords(name->symbol) : std::string(name->message);
  return message + " (" + std::string(name->symbol) + ", " + number + ")";
}

int exitStatusFor(unsigned code) {
  if (code == RESULT_OK) return kExitSuccess;
  return findResultName(code) != nullptr ? kExitLibraryFailure : kExitServerRefused;
}

}  // namespace qel::tools
