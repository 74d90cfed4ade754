// SPDX-License-Identifier: Apache-2.0
// Names, messages and exit statuses of result codes.
#pragma once

#include <string>
#include <string_view>

namespace qel::tools {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitServerRefused = 1;   // a code of the management server's own
inline constexpr int kExitLibraryFailure = 2;  // a RESULT_* code of the library
inline constexpr int kExitUsage = 64;

struct ResultName {
  unsigned code;
  std::string_view symbol;   // RESULT_*
  std::string_view message;  // what it means to someone at a shell; empty: its name says it
};

// The library's own code, or null for a code of the management server.
const ResultName *findResultName(unsigned code);

// "program not registered (RESULT_NOT_REGISTERED, 24)" or "refused by the management server
// (17)".
std::string describeResult(unsigned code);

int exitStatusFor(unsigned code);

}  // namespace qel::tools
