// SPDX-License-Identifier: Apache-2.0
// The two rules for a caller's text in a request. Which one an operation follows is part of
// its contract, so each call site names its rule. Both lend the caller's text to the one call:
// the codecs only read it.
#pragma once

namespace qel {

// A null text travels as the empty text.
inline char *textOrEmpty(const char *text) {
  static char empty[] = "";
  return const_cast<char *>(text != nullptr ? text : empty);
}

// A null text is passed on as it is. A null string cannot be encoded, so the call then fails
// with RESULT_CALL_FAILED.
inline char *textAsGiven(const char *text) { return const_cast<char *>(text); }

}  // namespace qel
