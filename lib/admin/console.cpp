// SPDX-License-Identifier: Apache-2.0
// Console and CPU configuration.
#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

template <typename T, typename From>
void writeIfWanted(T *out, From value) {
  if (out != nullptr) *out = value;
}

}  // namespace

extern "C" {

// The settings reach the outputs whatever errorCode says: callers of the console read rely on
// seeing what the server holds even when it reports a problem.
unsigned int qelSysGetConsoleConfig(int *consoleValue1, int *consoleValue2, int *consoleValue3,
                                    int *consoleValue4, unsigned long *consoleValue5) {
  return callFrame<proc::SysGetConsoleConfig>(nullptr, [&](const rpc_ConsoleConfig &reply) {
    writeIfWanted(consoleValue1, reply.consoleValue1);
    writeIfWanted(consoleValue3, reply.consoleValue3);
    writeIfWanted(consoleValue2, reply.consoleValue2);
    writeIfWanted(consoleValue4, reply.consoleValue4);
    writeIfWanted(consoleValue5, reply.consoleValue5);
    return static_cast<unsigned int>(reply.errorCode);
  });
}

unsigned int qelSysSetConsoleConfig(int consoleValue1, int consoleValue2, int consoleValue3,
                                    int consoleValue4, unsigned long consoleValue5) {
  rpc_ConsoleConfig request{
      0, consoleValue3, consoleValue2, consoleValue4, consoleValue5, consoleValue1};
  return callFrame<proc::SysSetConsoleConfig>(&request, StatusReply{});
}

unsigned int qelSetCPUConfiguration(int cpuValue1, unsigned int cpuValue2, unsigned int cpuValue3,
                                    int cpuValue4, unsigned int cpuValue5) {
  rpc_CPUConfig request{cpuValue1, cpuValue2, cpuValue3, cpuValue4, cpuValue5};
  return callFrame<proc::SysSetCPUConfiguration>(&request, StatusReply{});
}

}  // extern "C"
