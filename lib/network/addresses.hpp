// SPDX-License-Identifier: Apache-2.0
// Address pieces shared by the network operations.
#pragma once

#include <cstddef>

namespace qel {

// The longest dotted quad with its terminator.
inline constexpr std::size_t kAddressTextSize = sizeof "255.255.255.255";

// Writes the dotted-quad text of address, first number from the most significant byte, into
// text, which holds kAddressTextSize bytes.
void formatAddress(unsigned int address, char *text);

// An address field of a request with its presence flag: present with the pointed-to value, or
// absent and 0 for a null pointer.
inline void requestAddress(const unsigned int *given, unsigned int &address, unsigned char &valid) {
  valid = given != nullptr ? 1 : 0;
  address = given != nullptr ? *given : 0;
}

}  // namespace qel
