// SPDX-License-Identifier: Apache-2.0
// Addresses written on the command line: dotted quads, and 32-bit numbers (`--numeric`).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::tools {

// The address that `text` names as a decimal number, or a hexadecimal one after 0x; nothing
// when it is not a whole number that fits 32 bits. Signs, blanks and leading zeros are
// refused, so that no text can be taken for octal or for a different number.
std::optional<unsigned> addressNumber(std::string_view text);

// The address the library reads from `text` as a dotted quad, or nothing when the library
// would refuse it: the library's own reading decides, so that qelctl accepts what it accepts.
std::optional<unsigned> dottedQuad(const std::string &text);

}  // namespace qel::tools
