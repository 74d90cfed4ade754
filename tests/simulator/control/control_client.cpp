// SPDX-License-Identifier: Apache-2.0
#include "control_client.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "server_test.hpp"

namespace qel::test {

Control::Control(const std::string &path) : fd(socket(AF_UNIX, SOCK_STREAM, 0)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) fd = -1;
}

Control::~Control() { close(fd); }

std::string Control::exchange(const std::string &line) {
  if (send(fd, line.data(), line.size(), MSG_NOSIGNAL) < 0) return "";
  std::string reply;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') reply += c;
  return reply;
}

Json Control::ask(const Json &request) {
  return Json::parse(exchange(request.dump() + "\n"), nullptr, false);
}

unsigned sensorValue(const char *id) {
  float value = 0;
  return qelSysGetSensorValue(id, &value);
}

unsigned bothCpuTemps() { return sensorValue("cpu0-temp") * 100 + sensorValue("cpu1-temp"); }

unsigned powerLevel() { return qelPlatformSetPowerLevel(100); }

unsigned hostname() {
  char *name = nullptr;
  const unsigned result = qelGetHostname(0, &name);
  std::free(name);
  return result;
}

double readBy(unsigned (*op)(const char *, int *), const char *name) {
  int value = -1;
  return op(name, &value) ? -1 : value;
}

double reading(const char *id) {
  float value = 0;
  return qelSysGetSensorValue(id, &value) ? -1 : value;
}

double fanMode() {
  FanState fan{};
  return qelGetFanState(&fan) ? -1 : fan.debugValue1;
}

in_port_t localPort() {
  int fd = -1;
  clnt_control(handle(), CLGET_FD, reinterpret_cast<char *>(&fd));
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
  return address.sin_port;
}

}  // namespace qel::test
