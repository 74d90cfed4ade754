// SPDX-License-Identifier: Apache-2.0
// Looking a product number up in the product map: lines of a hexadecimal product number, "|",
// the product name, and optionally "|" and anything after it. Kept apart from the file so that
// any text can be driven through it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qel {

// One read of the map takes at most 127 characters; a longer line arrives in several pieces,
// each matched as a line of its own.
inline constexpr std::size_t kMapPieceSize = 128;

inline int32_t clampTo32(long long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The product number a sensor reading stands for: truncated toward zero, 0 for a reading that
// is not a number, and held to the signed 32-bit range.
inline int32_t productNumber(float reading) {
  if (std::isnan(reading)) return 0;
  if (reading >= 2147483648.0f) return INT32_MAX;
  if (reading <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(reading);
}

// The number of a map line's first field, read the way strtol reads base 16 (blanks, a sign and
// a 0x prefix allowed; no digits gives 0), held to the signed 32-bit range.
inline int32_t mapNumber(const char *field) { return clampTo32(std::strtol(field, nullptr, 16)); }

// The name that `piece` gives `product`, pointing into `piece`, or null when the piece does not
// match or holds no name. Fields split as strtok splits them: runs of "|" separate the number
// from the name, and the name ends at the next "|" or newline. The piece is cut up in place.
inline const char *nameInMapPiece(char *piece, int32_t product) {
  char *rest = nullptr;
  const char *number = strtok_r(piece, "|", &rest);
  if (number == nullptr) return nullptr;
  const char *name = strtok_r(nullptr, "|\n", &rest);
  if (name == nullptr || mapNumber(number) != product) return nullptr;
  return name;
}

}  // namespace qel
