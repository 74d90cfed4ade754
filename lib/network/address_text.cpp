// SPDX-License-Identifier: Apache-2.0
// Dotted-quad text of addresses in both directions.
#include <cstdio>

#include "lib/frame/reply_conventions.hpp"
#include "lib/network/addresses.hpp"

using namespace qel;

namespace {

constexpr unsigned int kLargestPart = 255;

}  // namespace

void qel::formatAddress(unsigned int address, char *text) {
  std::snprintf(text, kAddressTextSize, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFFu,
                (address >> 8) & 0xFFu, address & 0xFFu);
}

extern "C" {

unsigned int qelIPAddressToString(unsigned int address, char **addressText) {
  if (addressText == nullptr) return RESULT_NULL_ARGUMENT;
  char text[kAddressTextSize];
  formatAddress(address, text);
  return copyText(text, addressText);
}

unsigned int qelStringToIPAddress(const char *addressText, unsigned int *address) {
  if (addressText == nullptr || address == nullptr) return RESULT_NULL_ARGUMENT;
  // Read wider than the parts so that a number too large for 32 bits saturates instead of
  // wrapping into a small one.
  unsigned long long part[4];
  if (std::sscanf(addressText, "%llu.%llu.%llu.%llu", &part[0], &part[1], &part[2], &part[3]) !=
      4) {
    return RESULT_INVALID_ARGUMENT;
  }
  unsigned int value = 0;
  for (const unsigned long long p : part) {
    if (p > kLargestPart) return RESULT_INVALID_ARGUMENT;
    value = (value << 8) | static_cast<unsigned int>(p);
  }
  *address = value;
  return RESULT_OK;
}

}  // extern "C"
