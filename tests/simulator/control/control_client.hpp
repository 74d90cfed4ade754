// SPDX-License-Identifier: Apache-2.0
// What the control tests use: a connection to qel-simd's control channel, and calls through the
// library on the calling thread's connection.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

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

// Calls through the library: their result code.
unsigned powerState();
unsigned platformState();
unsigned sensorValue(const char *id);
unsigned cpu0Temp();
unsigned bothCpuTemps();  // cpu0-temp's code times 100, plus cpu1-temp's
unsigned powerLevel();
unsigned hostname();

// Calls through the library: what they read, or -1 when they fail.
double readBy(unsigned (*op)(const char *, int *), const char *name);
double reading(const char *id);
double fanMode();
double shutdownReason();
double hostState();

// The local port of the thread's connection.
in_port_t localPort();

// Waits, up to ten seconds, for `done` to hold.
bool eventually(const std::function<bool()> &done);

}  // namespace qel::test
