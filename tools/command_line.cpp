// SPDX-License-Identifier: Apache-2.0
#include "tools/command_line.hpp"

#include <charconv>
#include <cstdlib>

#include "lib/protocol/procedures.hpp"
#include "tools/address_number.hpp"
#include "tools/result_names.hpp"

namespace qel::tools {

std::optional<ListenAddress> listenAddress(const std::string &text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  ListenAddress address{text.substr(0, colon)};
  if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
    address.host = address.host.substr(1, address.host.size() - 2);
  }
  const char *first = text.data() + colon + 1, *last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, address.port);
  if (error != std::errc() || end != last || first == last || address.port < 0 ||
      address.port > 65535) {
    return std::nullopt;
  }
  return address;
}

std::optional<unsigned long> programNumber(const std::string &option) {
  if (!option.empty()) {
    const auto number = addressNumber(option);
    if (!number || *number == 0) return std::nullopt;
    return *number;
  }
  const char *fromEnvironment = std::getenv("QELPROGID");
  const unsigned long number = fromEnvironment ? std::atol(fromEnvironment) & 0xFFFFFFFFul : 0;
  return number != 0 ? number : proc::kDefaultProgram;
}

bool parseCommandLine(CLI::App &app, int argc, const char *const *argv, std::ostream &out,
                      std::ostream &err, int &status) {
  try {
    app.parse(argc, argv);
    return true;
  } catch (const CLI::ParseError &error) {
    status = app.exit(error, out, err) == 0 ? kExitSuccess : kExitUsage;
    return false;
  }
}

}  // namespace qel::tools
