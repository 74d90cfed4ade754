// SPDX-License-Identifier: Apache-2.0
#include "simd_process.hpp"

#include "scripted_server.hpp"

namespace qel::test {

bool SimdProcess::start(uint32_t program, const std::vector<std::string> &extraArgs) {
  stop();
  program_ = program != 0 ? program : freeProgram();
  std::vector<std::string> argv{QEL_SIMD_PATH, "--foreground", "--log-level", "1"};
  argv.insert(argv.end(), {"--program", std::to_string(program_)});
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  if (!process_.start(argv)) return false;
  bool ended = false;
  const bool up = eventually([&] {
    return registered(program_) || (ended = waitForExit(std::chrono::milliseconds(0)).has_value());
  });
  if (up && !ended) return true;
  stop();
  return false;
}

int SimdProcess::run(const std::string &args, std::string &output) {
  return runCommand(QEL_SIMD_PATH " " + args, output);
}

}  // namespace qel::test
