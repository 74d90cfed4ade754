// SPDX-License-Identifier: Apache-2.0
#include "cli/argument_checks.hpp"

#include <qel.h>

#include <cmath>
#include <cstdlib>

#include "tools/address_number.hpp"
#include "tools/network_text.hpp"

namespace qel::cli {
namespace {

bool isFiniteFloat(const std::string &text) {
  char *end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

// The description of a sensor (qelGetSensorInfo) holds its identifier in a 32-byte field: a
// longer identifier could not be told apart from its first 31 characters there.
bool isSensorId(const std::string &text) {
  return !text.empty() && text.size() < sizeof(SensorInfo::text1);
}

bool isHostName(const std::string &text) { return tools::isValidHostname(text); }

bool isDottedQuad(const std::string &text) { return tools::dottedQuad(text).has_value(); }

}  // namespace

CLI::Validator accepting(bool (*accept)(const std::string &), const std::string &problem,
                         const std::string &typeName) {
  return CLI::Validator(
      [accept, problem](const std::string &text) {
        return accept(text) ? std::string() : "'" + text + "'" + problem;
      },
      typeName);
}

CLI::Validator finiteNumber() { return accepting(isFiniteFloat, " is not a finite number"); }

CLI::Validator sensorId() {
  return accepting(isSensorId, " is not a sensor identifier (1 to 31 characters)");
}

CLI::Validator hostName() {
  return accepting(isHostName,
                   " is not a host name (labels of letters, digits and inner hyphens, joined by "
                   "dots)");
}

CLI::Validator dottedQuadAddress() { return accepting(isDottedQuad, kNotADottedQuad); }

}  // namespace qel::cli
