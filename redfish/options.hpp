// SPDX-License-Identifier: Apache-2.0
// qel-redfishd's command line.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "redfish/http/privileges.hpp"
#include "tools/command_line.hpp"
#include "tools/log.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::redfish {

struct Settings {
  tools::ListenAddress listen{"", 443};  // "" for every address
  std::string host = "localhost";
  unsigned long program = 0;
  std::string stateDirectory = "/var/lib/qel-redfishd";
  std::string certificate, key;  // both or neither
  bool plainHttp = false;
  std::optional<std::string> addAccount;  // --add-account NAME: add it and exit
  Role role = Role::kReadOnly;
  tools::SensorMapping mapping;
  std::chrono::milliseconds spTimeout{5000};
  tools::LogLevel logLevel = tools::LogLevel::kInfo;
};

// The settings of a command line, or nothing once `status` holds the exit status: 0 after
// --help or --version (written to `out`), 64 for a wrong command line (the reason written to
// `err`).
std::optional<Settings> readSettings(int argc, const char *const *argv, std::ostream &out,
                                     std::ostream &err, int &status);

}  // namespace qel::redfish
