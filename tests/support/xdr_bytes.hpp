// SPDX-License-Identifier: Apache-2.0
// Records to and from exact XDR bytes, through a stream that grants inline blocks (the C
// library's memory stream) or one that refuses them.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qel::test {

using Bytes = std::vector<uint8_t>;

enum class Inline { kGranted, kRefused };

// A memory stream over `buffer` in direction `op`; with Inline::kRefused every inline request
// is turned down, so codecs must take their primitive path.
void openMemoryStream(XDR *xdrs, uint8_t *buffer, u_int size, xdr_op op, Inline policy);

Bytes encodeWith(xdrproc_t codec, const void *record, Inline policy, bool *ok = nullptr);
bool decodeWith(xdrproc_t codec, void *record, const Bytes &bytes, Inline policy);

template <typename T>
Bytes encode(bool_t (*codec)(XDR *, T *), const T &record, Inline policy = Inline::kGranted,
             bool *ok = nullptr) {
  return encodeWith(reinterpret_cast<xdrproc_t>(codec), &record, policy, ok);
}

// A record decoded from `bytes`, released with what decoding allocated.
template <typename T>
struct Decoded {
  Decoded(bool_t (*c)(XDR *, T *), const Bytes &bytes, Inline policy)
      : codec(reinterpret_cast<xdrproc_t>(c)), ok(decodeWith(codec, &value, bytes, policy)) {}
  Decoded(const Decoded &) = delete;
  Decoded &operator=(const Decoded &) = delete;
  ~Decoded() { xdr_free(codec, reinterpret_cast<char *>(&value)); }
  xdrproc_t codec;
  T value{};
  bool ok;
};

template <typename T>
Decoded<T> decode(bool_t (*codec)(XDR *, T *), const Bytes &bytes,
                  Inline policy = Inline::kGranted) {
  return {codec, bytes, policy};
}

// Big-endian words, for writing expected bytes in tests.
Bytes words(std::initializer_list<uint32_t> values);
// The big-endian word at byte `at`; 0 past the end.
uint32_t wordAt(const Bytes &bytes, std::size_t at);
Bytes encodeInt(int32_t value);
// An XDR string: length, bytes, padding.
Bytes xdrString(const std::string &text);
Bytes concat(std::initializer_list<Bytes> parts);

}  // namespace qel::test
