// SPDX-License-Identifier: Apache-2.0
// qel-exporter's command line, read into what the service, the pool and the log need.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "exporter/http_service.hpp"
#include "exporter/worker_pool.hpp"
#include "tools/command_line.hpp"
#include "tools/log.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

// The port the exporter listens on unless told otherwise; no well-known exporter uses it.
inline constexpr int kDefaultPort = 24051;

struct Settings {
  tools::ListenAddress listen{"", kDefaultPort};  // "" for every address
  ServiceOptions service;
  PoolLimits pool;
  tools::SensorMapping mapping;
  tools::LogLevel logLevel = tools::LogLevel::kInfo;
};

// The settings of a command line, or nothing once `status` holds the exit status: 0 after
// --help or --version (written to `out`), 64 for a wrong command line or configuration (the
// reason written to `err`).
std::optional<Settings> readSettings(int argc, const char *const *argv, std::ostream &out,
                                     std::ostream &err, int &status);

}  // namespace qel::exporter
