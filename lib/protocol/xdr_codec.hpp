// SPDX-License-Identifier: Apache-2.0
// Codec helpers shared by every record codec.
#pragma once

#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qel.h"

namespace qel {

// Strings carry no maximum on the wire.
inline constexpr u_int kNoMaximum = 0xFFFFFFFFu;

namespace detail {

// Reads `size` bytes of a string into a new buffer that grows as the bytes actually arrive,
// instead of allocating the announced size first: a reply announcing a 4 GiB text and carrying
// a few bytes fails without a 4 GiB allocation. The buffer belongs to *text from the first
// chunk on and is always terminated, so a failure leaves it to the free direction. The first
// chunk is as large as the RPC layer's own receive buffer: texts up to that size take one
// allocation and no copy, and a lying reply costs no more than that buffer already does.
inline bool_t receiveText(XDR *xdrs, char **text, u_int size) {
  constexpr u_int kFirstChunk = 64 * 1024;
  u_int capacity = size < kFirstChunk ? size : kFirstChunk;
  u_int received = 0;
  for (;;) {
    void *larger = std::realloc(*text, std::size_t{capacity} + 1);
    if (larger == nullptr) return FALSE;
    *text = static_cast<char *>(larger);
    if (capacity > received && !XDR_GETBYTES(xdrs, *text + received, capacity - received)) {
      // A record stream that fails half-way has copied part of the chunk already; the free
      // direction measures the text, so it ends where the received bytes end.
      (*text)[received] = '\0';
      return FALSE;
    }
    received = capacity;
    (*text)[received] = '\0';
    if (received == size) return TRUE;
    capacity = size - capacity < capacity ? size : 2 * capacity;
  }
}

}  // namespace detail

// An XDR string of at most `maximum` bytes. Encoding and freeing are the C library's string
// primitive. Decoding is the same walk with the padding read into a local buffer (the C
// library's decoder drops it into one static scratch buffer shared by every thread), and a new
// text grows with the bytes received.
inline bool_t xdrBoundedText(XDR *xdrs, char **text, u_int maximum) {
  // A null text cannot be encoded; said here, before any primitive looks at it.
  if (xdrs->x_op == XDR_ENCODE && *text == nullptr) return FALSE;
  if (xdrs->x_op != XDR_DECODE) return xdr_string(xdrs, text, maximum);
  u_int size = 0;
  if (!xdr_u_int(xdrs, &size) || size > maximum || size == kNoMaximum) return FALSE;
  if (*text == nullptr) {
    if (!detail::receiveText(xdrs, text, size)) return FALSE;
  } else {
    (*text)[size] = '\0';
    if (size > 0 && !XDR_GETBYTES(xdrs, *text, size)) return FALSE;
  }
  char padding[4];
  const u_int padded = (4 - size % 4) % 4;
  return padded == 0 || XDR_GETBYTES(xdrs, padding, padded);
}

// An unbounded XDR string; also the codec of bare string arguments and replies.
inline bool_t xdrText(XDR *xdrs, char **text) { return xdrBoundedText(xdrs, text, kNoMaximum); }

// The codec of procedures that send nothing.
inline bool_t xdrNothing(XDR *, void *) { return xdr_void(); }

namespace detail {

inline bool_t primitive(XDR *xdrs, int *v) { return xdr_int(xdrs, v); }
inline bool_t primitive(XDR *xdrs, unsigned int *v) { return xdr_u_int(xdrs, v); }
// 32 bits on the wire whatever the width of unsigned long.
inline bool_t primitive(XDR *xdrs, unsigned long *v) { return xdr_u_long(xdrs, v); }
template <std::size_t N>
bool_t primitive(XDR *xdrs, int (*v)[N]) {
  for (int &item : *v) {
    if (!xdr_int(xdrs, &item)) return FALSE;
  }
  return TRUE;
}

template <typename T>
struct Words {
  static constexpr unsigned kCount = 1;
};
template <std::size_t N>
struct Words<int[N]> {
  static constexpr unsigned kCount = N;
};

// The inline block is walked as bytes: a record stream hands out blocks at the alignment of its
// position in the byte stream, which a server that sent a record of odd length has shifted.
using Slot = unsigned char *;

inline void put(Slot &slot, uint32_t value) {
  const uint32_t word = htonl(value);
  std::memcpy(slot, &word, sizeof word);
  slot += sizeof word;
}
inline void store(Slot &slot, const int *v) { put(slot, static_cast<uint32_t>(*v)); }
inline void store(Slot &slot, const unsigned int *v) { put(slot, *v); }
inline void store(Slot &slot, const unsigned long *v) { put(slot, static_cast<uint32_t>(*v)); }
template <std::size_t N>
void store(Slot &slot, const int (*v)[N]) {
  for (const int &item : *v) store(slot, &item);
}

inline uint32_t next(Slot &slot) {
  uint32_t word;
  std::memcpy(&word, slot, sizeof word);
  slot += sizeof word;
  return ntohl(word);
}
inline void load(Slot &slot, int *v) { *v = static_cast<int32_t>(next(slot)); }
inline void load(Slot &slot, unsigned int *v) { *v = next(slot); }
inline void load(Slot &slot, unsigned long *v) { *v = next(slot); }
template <std::size_t N>
void load(Slot &slot, int (*v)[N]) {
  for (int &item : *v) load(slot, &item);
}

}  // namespace detail

// Codes a run of leading 32-bit fields (int, unsigned int, unsigned long, or int arrays). On
// encode and decode it asks the stream for one inline block covering them all and moves the
// words directly; when the stream refuses, and in the free direction, each field goes through
// its XDR primitive. The bytes on the wire are the same either way.
template <typename... Fields>
bool_t xdrWords(XDR *xdrs, Fields *...fields) {
  constexpr unsigned kBytes = 4 * (detail::Words<Fields>::kCount + ...);
  if (xdrs->x_op == XDR_ENCODE || xdrs->x_op == XDR_DECODE) {
    if (int32_t *block = XDR_INLINE(xdrs, kBytes)) {
      auto slot = reinterpret_cast<detail::Slot>(block);
      if (xdrs->x_op == XDR_ENCODE) {
        (detail::store(slot, fields), ...);
      } else {
        (detail::load(slot, fields), ...);
      }
      return TRUE;
    }
  }
  return (detail::primitive(xdrs, fields) && ...);
}

}  // namespace qel

namespace qel {

// A counted array without a useful maximum. Encoding and freeing are the C library's array
// primitive; decoding lets the storage grow as elements actually arrive instead of trusting the
// count, so a bogus count in a short reply fails without a huge allocation first. On failure the
// elements decoded so far stay counted, so the free direction releases them.
template <typename T>
bool_t xdrUnboundedArray(XDR *xdrs, T **items, u_int *count, bool_t (*element)(XDR *, T *)) {
  if (xdrs->x_op != XDR_DECODE || *items != nullptr) {
    return xdr_array(xdrs, reinterpret_cast<char **>(items), count, kNoMaximum, sizeof(T),
                     reinterpret_cast<xdrproc_t>(element));
  }
  u_int wanted = 0;
  if (!xdr_u_int(xdrs, &wanted)) return FALSE;
  *count = 0;
  u_int capacity = 0;
  for (u_int i = 0; i < wanted; ++i) {
    if (i == capacity) {
      const u_int grown = capacity == 0 ? (wanted < 64 ? wanted : 64)
                                        : (wanted - capacity < capacity ? wanted : 2 * capacity);
      void *larger = std::realloc(*items, static_cast<std::size_t>(grown) * sizeof(T));
      if (larger == nullptr) return FALSE;
      *items = static_cast<T *>(larger);
      std::memset(static_cast<void *>(*items + capacity), 0,
                  static_cast<std::size_t>(grown - capacity) * sizeof(T));
      capacity = grown;
    }
    *count = i + 1;
    if (!element(xdrs, *items + i)) return FALSE;
  }
  return TRUE;
}

}  // namespace qel
