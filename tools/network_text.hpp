// SPDX-License-Identifier: Apache-2.0
// Network settings the management server accepts: netmasks and host names. qel-simd keeps to
// them; qelctl and qel-redfishd check what they are given by them before any call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qel::tools {

// True when the mask is a run of one bits followed by zero bits.
bool isContiguousNetmask(uint32_t netmask);

// A host name: dot-separated labels of letters, digits and inner hyphens, each of at most 63
// characters, 253 in all.
bool isValidHostname(std::string_view name);

// The six bytes at `address` as "02:00:5e:10:00:01"; "" for null.
std::string hardwareAddressText(const unsigned char *address);

}  // namespace qel::tools
