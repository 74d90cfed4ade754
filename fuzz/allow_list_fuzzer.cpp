// SPDX-License-Identifier: Apache-2.0
// qel-exporter's --probe.allow entries (the first line, comma-separated) and targets matched
// against them (the lines after): an entry is taken or refused with a reason; a list that takes
// "*" allows every name, one that takes "0.0.0.0/0" every dotted quad.
#include <arpa/inet.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "exporter/allow_list.hpp"

using qel::exporter::AllowList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::istringstream input(std::string(reinterpret_cast<const char *>(data), size));
  std::string entries;
  std::getline(input, entries);
  AllowList list;
  std::istringstream split(entries);
  for (std::string entry, error; std::getline(split, entry, ',');) {
    if (!list.add(entry, error) && error.empty()) std::abort();
  }
  std::string error;
  AllowList everything;
  if (!everything.add("*", error) || !everything.add("0.0.0.0/0", error)) std::abort();
  for (std::string target; std::getline(input, target);) {
    list.allows(target);
    in_addr address{};
    const bool quad = inet_pton(AF_INET, target.c_str(), &address) == 1;
    const bool name = !target.empty() &&
                      target.find_first_not_of(
                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") ==
                          std::string::npos;
    if ((quad || name) && !everything.allows(target)) std::abort();
  }
  return 0;
}
