// SPDX-License-Identifier: Apache-2.0
// The reply conventions: how the frame turns a decoded reply into the result and the caller's
// outputs, and the rule for texts handed to the caller (every one is the caller's to free; large
// ones are handed over without a copy).
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "qel.h"

namespace qel {

// Status reply: the integer is the result, unchanged (-1 gives 4294967295).
struct StatusReply {
  unsigned int operator()(int reply) const { return static_cast<unsigned int>(reply); }
};

// A negative reply -n is the result n; otherwise the reply is the value asked for.
inline unsigned int negatedError(int reply) {
  return reply < 0 ? 0u - static_cast<unsigned int>(reply) : RESULT_OK;
}

// Signed value reply whose output is written on success only (when given).
struct SignedValueReply {
  int *out;
  unsigned int operator()(int reply) const {
    if (reply >= 0 && out != nullptr) *out = reply;
    return negatedError(reply);
  }
};

// Signed value reply whose output (when given) is written whatever the reply: 0 on an error.
struct SignedValueOrZeroReply {
  int *out;
  unsigned int operator()(int reply) const {
    if (out != nullptr) *out = reply < 0 ? 0 : reply;
    return negatedError(reply);
  }
};

// A heap copy of text for the caller: RESULT_NO_RESOURCES (and a null output) when out of
// memory. A null out copies nothing.
inline unsigned int copyText(const char *text, char **out) {
  if (out == nullptr) return RESULT_OK;
  *out = strdup(text != nullptr ? text : "");
  return *out != nullptr ? RESULT_OK : RESULT_NO_RESOURCES;
}

// Decoded texts in blocks of this size or more go to the caller as they are instead of being
// copied: the decoder allocated each with malloc as a block of its own, and copying megabytes
// into a fresh block costs more than receiving them did.
inline constexpr std::size_t kHandOverBytes = 64 * 1024;

// The text of a reply for the caller: a heap copy, or a large decoded block itself, taken out
// of the reply so that releasing the reply leaves it alone.
inline unsigned int giveText(char *&text, char **out) {
  if (out != nullptr && text != nullptr && malloc_usable_size(text) >= kHandOverBytes) {
    *out = std::exchange(text, nullptr);
    return RESULT_OK;
  }
  return copyText(text, out);
}

// Code-and-text reply: errorCode is the result; on success the text goes to *out.
struct TextReply {
  char **out;
  unsigned int operator()(rpc_StringAndEC &reply) const {
    if (reply.errorCode != 0) return static_cast<unsigned int>(reply.errorCode);
    return giveText(reply.text, out);
  }
};

// Code-and-value reply: errorCode is the result; on success the value goes to *out.
struct FloatReply {
  float *out;
  unsigned int operator()(const rpc_FloatAndEC &reply) const {
    if (reply.errorCode == 0 && out != nullptr) *out = reply.value;
    return static_cast<unsigned int>(reply.errorCode);
  }
};

// Record reply: errorCode is the result; on success `copy` moves the record to the outputs and
// may itself fail with a result code of its own.
template <typename Copy>
struct RecordReply {
  Copy copy;
  template <typename Record>
  unsigned int operator()(const Record &reply) const {
    if (reply.errorCode != 0) return static_cast<unsigned int>(reply.errorCode);
    return copy(reply);
  }
};
template <typename Copy>
RecordReply(Copy) -> RecordReply<Copy>;

}  // namespace qel
