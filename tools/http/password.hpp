// SPDX-License-Identifier: Apache-2.0
// Password hashes through libcrypt: made with yescrypt, checked in any form libcrypt reads
// (yescrypt, bcrypt "$2b$"/"$2y$", SHA-512 crypt), the hash compared in constant time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::http {

// A new yescrypt hash of `password` with a fresh random salt, or nothing when libcrypt fails.
std::optional<std::string> hashPassword(std::string_view password);

// Whether `password` gives `hash`. False for a hash libcrypt cannot read, and for a password
// with a NUL in it. Takes the same time for a wrong password as for a right one.
bool passwordMatches(std::string_view hash, std::string_view password);

}  // namespace qel::http
