// SPDX-License-Identifier: Apache-2.0
#include "redfish/random_text.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qel::redfish {

std::string randomHex(std::size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  for (std::size_t got = 0; got < bytes;) {
    const ssize_t n = getrandom(raw.data() + got, bytes - got, 0);
    if (n < 0 && errno != EINTR) {
      std::perror("getrandom");
      std::abort();
    }
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : raw) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string randomUuid() {
  std::string hex = randomHex(16);
  hex[12] = '4';                                                               // version 4
  hex[16] = "89ab"[std::strtoul(hex.substr(16, 1).c_str(), nullptr, 16) & 3];  // variant 10
  return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
         hex.substr(16, 4) + "-" + hex.substr(20);
}

}  // namespace qel::redfish
