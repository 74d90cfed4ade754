// SPDX-License-Identifier: Apache-2.0
// Arbitrary text as a dotted-quad address. It reads as an address (and then that address's own
// text reads back as the same address) or is rejected with 4 and the output left alone.
#include <cstdlib>
#include <string>

#include "qel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  constexpr unsigned int kUntouched = 0xA5A5A5A5u;
  unsigned int address = kUntouched;
  const unsigned int result = qelStringToIPAddress(text.c_str(), &address);
  if (result == RESULT_INVALID_ARGUMENT) {
    if (address != kUntouched) std::abort();
    return 0;
  }
  if (result != RESULT_OK) std::abort();

  char *formatted = nullptr;
  if (qelIPAddressToString(address, &formatted) != RESULT_OK) std::abort();
  unsigned int again = 0;
  if (qelStringToIPAddress(formatted, &again) != RESULT_OK || again != address) std::abort();
  free(formatted);
  return 0;
}
