// SPDX-License-Identifier: Apache-2.0
// What the tools' command lines share: the address a service listens on and the program number
// of the SP it serves.
#pragma once

#include <optional>
#include <string>

namespace qel::tools {

struct ListenAddress {
  std::string host;  // "" for every address
  int port = 0;
};

// "HOST:PORT", "[V6ADDRESS]:PORT" or ":PORT" (every address); nothing for another text or a
// port outside 0 to 65535.
std::optional<ListenAddress> listenAddress(const std::string &text);

// The program number of `option` (decimal or 0x-hexadecimal, 1 to 4294967295), else of
// QELPROGID read as the library reads it (decimal), else the library's default; nothing when
// `option` is given and is not such a number.
std::optional<unsigned long> programNumber(const std::string &option);

}  // namespace qel::tools
