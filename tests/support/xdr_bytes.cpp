// SPDX-License-Identifier: Apache-2.0
#include "xdr_bytes.hpp"

#include <arpa/inet.h>

#include <type_traits>

namespace qel::test {
namespace {

using XdrOps = std::remove_const_t<std::remove_pointer_t<decltype(XDR::x_ops)>>;

int32_t *refuseInline(XDR *, u_int) { return nullptr; }

// Codecs are called through the RPC library's generic codec type, as the RPC library itself
// calls them; clang's check that a callee has exactly the called type would flag every call.
#if defined(__clang__)
#define QEL_GENERIC_CODEC_CALL __attribute__((no_sanitize("function")))
#else
#define QEL_GENERIC_CODEC_CALL
#endif

}  // namespace

void openMemoryStream(XDR *xdrs, uint8_t *buffer, u_int size, xdr_op op, Inline policy) {
  xdrmem_create(xdrs, reinterpret_cast<char *>(buffer), size, op);
  if (policy == Inline::kRefused) {
    // One copy of the memory stream's operations with the inline request refused.
    static const XdrOps refusing = [ops = *xdrs->x_ops]() mutable {
      ops.x_inline = refuseInline;
      return ops;
    }();
    xdrs->x_ops = &refusing;
  }
}

QEL_GENERIC_CODEC_CALL Bytes encodeWith(xdrproc_t codec, const void *record, Inline policy,
                                        bool *ok) {
  unsigned long size = xdr_sizeof(codec, const_cast<void *>(record));
  Bytes buffer(size + 4);
  XDR xdrs;
  openMemoryStream(&xdrs, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE, policy);
  const bool encoded = codec(&xdrs, const_cast<void *>(record)) != 0;
  buffer.resize(encoded ? xdr_getpos(&xdrs) : 0);
  xdr_destroy(&xdrs);
  if (ok != nullptr) *ok = encoded;
  return buffer;
}

QEL_GENERIC_CODEC_CALL bool decodeWith(xdrproc_t codec, void *record, const Bytes &bytes,
                                       Inline policy) {
  Bytes copy = bytes;
  XDR xdrs;
  openMemoryStream(&xdrs, copy.data(), static_cast<u_int>(copy.size()), XDR_DECODE, policy);
  const bool decoded = codec(&xdrs, record) != 0;
  xdr_destroy(&xdrs);
  return decoded;
}

Bytes words(std::initializer_list<uint32_t> values) {
  Bytes out;
  for (uint32_t v : values) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  }
  return out;
}

uint32_t wordAt(const Bytes &bytes, std::size_t at) {
  if (bytes.size() < at + 4) return 0;
  return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
         (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

Bytes encodeInt(int32_t value) { return words({static_cast<uint32_t>(value)}); }

Bytes xdrString(const std::string &text) {
  Bytes out = words({static_cast<uint32_t>(text.size())});
  out.insert(out.end(), text.begin(), text.end());
  while (out.size() % 4 != 0) out.push_back(0);
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace qel::test
