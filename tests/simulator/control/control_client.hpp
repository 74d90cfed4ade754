// SPDX-License-Identifier: Apache-2.0
// What the control tests use: a connection to qel-simd's control channel, and calls through the
// library on the calling thread's connection.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "child_process.hpp"
#include "qel.h"

namespace qel::test {

using Json = nlohmann::json;

// One connection to the control channel, a JSON line each way.
struct Control {
  explicit Control(const std::string &path);
  ~Control();
  Control(const Control &) = delete;
  Control &operator=(const Control &) = delete;
  std::string exchange(const std::string &line);
  Json ask(const Json &request);
  int fd;
};

// A call through the library with an output of its own: its result code, or what it read
// (-1 when it failed).
template <auto Operation, typename Output>
unsigned codeOf() {
  Output output{};
  return Operation(&output);
}
template <auto Operation, typename Output>
double readOf() {
  Output output{};
  return Operation(&output) ? -1 : static_cast<double>(output);
}

inline unsigned powerState() { return codeOf<qelPlatformGetPowerState, int>(); }
inline unsigned platformState() { return codeOf<qelPlatformGetState, int>(); }
inline double shutdownReason() { return readOf<qelPlatformGetShutdownReason, int>(); }
inline double hostState() { return readOf<qelPlatformGetState, int>(); }
unsigned sensorValue(const char *id);
unsigned bothCpuTemps();  // cpu0-temp's code times 100, plus cpu1-temp's
unsigned powerLevel();
unsigned hostname();
double readBy(unsigned (*op)(const char *, int *), const char *name);
double reading(const char *id);
double fanMode();

// The local port of the thread's connection.
in_port_t localPort();

}  // namespace qel::test
