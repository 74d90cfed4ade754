// SPDX-License-Identifier: Apache-2.0
// Random texts for secrets and names: tokens, session ids, the service's UUID.
#pragma once

#include <cstddef>
#include <string>

namespace qel::redfish {

// `bytes` bytes from the kernel's random source, as 2 * `bytes` lower-case hexadecimal digits.
// Never fails: without randomness the service cannot be safe, and the process ends.
std::string randomHex(std::size_t bytes);

// A version 4 UUID, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string randomUuid();

}  // namespace qel::redfish
