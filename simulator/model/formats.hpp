// SPDX-License-Identifier: Apache-2.0
// Text forms the server reads and writes: dotted-quad addresses, hardware addresses and dates
// (netmasks and host names: tools/network_text.hpp).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel::simd {

// Strict dotted-quad: exactly four decimal numbers of 0 to 255, nothing else.
std::optional<uint32_t> parseAddress(std::string_view text);
std::string formatAddress(uint32_t address);

// "02:00:5e:10:00:01" (hexadecimal pairs separated by colons).
std::optional<std::array<uint8_t, 6>> parseHardwareAddress(std::string_view text);

// "YYYY-MM-DD HH:MM:SS", a "T" allowed in place of the blank, optionally followed by " GMT",
// " UTC" or "Z"; always UTC. Seconds since the epoch.
std::optional<int64_t> parseDate(std::string_view text);
// "YYYY-MM-DD HH:MM:SS GMT", the form the library's qelGetDate produces.
std::string formatDate(int64_t secondsSinceEpoch);

// The text in double quotes, as the event log and the internal state write texts.
inline std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace qel::simd
