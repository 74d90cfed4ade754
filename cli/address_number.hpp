// Addresses written as 32-bit numbers on the command line (`--numeric`).
#pragma once

#include <optional>
#include <string_view>

namespace qel::cli {

// The address that `text` names as a decimal number, or a hexadecimal one after 0x; nothing
// when it is not a whole number that fits 32 bits. Signs, blanks and leading zeros are
// refused, so that no text can be taken for octal or for a different number.
std::optional<unsigned> addressNumber(std::string_view text);

}  // namespace qel::cli
