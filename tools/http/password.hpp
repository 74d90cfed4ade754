// SPDX-License-Identifier: Apache-2.0
// Password hashes through libcrypt: made with yescrypt, checked in the strong forms libcrypt
// reads (yescrypt "$y$", scrypt "$7$", bcrypt "$2b$"/"$2y$"/"$2a$", SHA-512 and SHA-256 crypt
// "$6$"/"$5$"; never DES or MD5 crypt), the hash compared in constant time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::http {

// A new yescrypt hash of `password` with a fresh random salt, or nothing when libcrypt fails
// or the password holds a NUL.
std::optional<std::string> hashPassword(std::string_view password);

// Whether `password` gives `hash`. False for a hash of another form or one libcrypt cannot
// read, and for a password with a NUL in it. Takes the same time for a wrong password as for a
// right one; a tool checking an unknown user should check against a hash of its own, so that
// the answer takes as long.
bool passwordMatches(std::string_view hash, std::string_view password);

}  // namespace qel::http
