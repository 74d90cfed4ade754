// SPDX-License-Identifier: Apache-2.0
// Arbitrary text as the product map, looked up for a product number read from a sensor: the
// first four bytes are the reading, the rest is the map, fed piece by piece as the file is read
// (a line, or at most kMapPieceSize - 1 characters of it). A name found lies inside its piece,
// is not empty, holds neither "|" nor a newline, and belongs to a line of that number (leading
// separators skipped, as the field splitting skips them).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "lib/admin/product_map.hpp"

namespace {

void lookUp(std::string_view piece, int32_t product) {
  // A buffer of exactly the piece and its terminator, so that reading past it is caught.
  std::vector<char> buffer(piece.begin(), piece.end());
  buffer.push_back('\0');
  std::vector<char> original = buffer;
  const char *name = qel::nameInMapPiece(buffer.data(), product);
  if (name == nullptr) return;
  if (name < buffer.data() || name >= buffer.data() + buffer.size()) std::abort();
  const std::string_view found(name);
  if (found.empty() || found.find_first_of("|\n") != std::string_view::npos) std::abort();
  // The number is the first field, which starts after any leading separators.
  const char *number = original.data() + std::strspn(original.data(), "|");
  if (qel::mapNumber(number) != product) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < sizeof(float)) return 0;
  float reading;
  std::memcpy(&reading, data, sizeof reading);
  const int32_t product = qel::productNumber(reading);
  std::string_view map(reinterpret_cast<const char *>(data) + sizeof reading,
                       size - sizeof reading);
  while (!map.empty()) {
    std::size_t length = std::min(map.size(), qel::kMapPieceSize - 1);
    const std::size_t newline = map.substr(0, length).find('\n');
    if (newline != std::string_view::npos) length = newline + 1;
    lookUp(map.substr(0, length), product);
    map.remove_prefix(length);
  }
  return 0;
}
