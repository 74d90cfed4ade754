// The call frame: every remote operation is one call frame around one stub.
//
//   connection step -> stub -> (no reply: drop the handle, 2) -> reply convention -> release
//
// An operation states only what is its own: its argument, its convention and its outputs.
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "connection/connection.hpp"
#include "protocol/procedures.hpp"

namespace qel {

// Calls procedure P's stub on clnt. When a reply came back, hands it to onReply and releases
// it afterwards with the codec that decoded it; returns whether a reply came. Used by the frame
// and by operations that make a follow-up call on the same handle. The reply lives in storage
// private to the thread, so it is released with xdr_free directly: the handle's own release
// takes its lock and masks every signal around it, two system calls per call for nothing.
template <typename P, typename OnReply>
bool withReply(CLIENT *clnt, typename P::Argument *arg, OnReply &&onReply) {
  typename P::Result *reply = P::call(arg, clnt);
  if (reply == nullptr) return false;
  std::forward<OnReply>(onReply)(*reply);
  xdr_free(P::replyCodec(), reinterpret_cast<char *>(reply));
  return true;
}

inline void noPreparation(CLIENT *) {}

// The frame. `convention` turns the reply into the result (and writes the outputs); `prepare`
// runs on the handle just before the stub. A missing reply drops the thread's handle and gives
// RESULT_CALL_FAILED without calling the convention.
template <typename P, typename Convention, typename Prepare = void (*)(CLIENT *)>
unsigned int callFrame(typename P::Argument *arg, Convention &&convention,
                       Prepare &&prepare = noPreparation) {
  CLIENT *clnt = nullptr;
  if (const unsigned int rc = connectionStep(&clnt)) return rc;
  std::forward<Prepare>(prepare)(clnt);
  unsigned int result = RESULT_OK;
  const bool replied = withReply<P>(clnt, arg, [&](typename P::Result &reply) {
    result = std::forward<Convention>(convention)(reply);
  });
  if (!replied) {
    qelDisconnect();
    return RESULT_CALL_FAILED;
  }
  return result;
}

// ---- Reply conventions ----------------------------------------------------------------------

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

// A text field of a request. A null string cannot be encoded, so a caller's null travels as
// the empty text; the codec only reads it.
inline char *textOrEmpty(const char *text) {
  static char empty[] = "";
  return const_cast<char *>(text != nullptr ? text : empty);
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
