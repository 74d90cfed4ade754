// SPDX-License-Identifier: Apache-2.0
// qel-simd: a stand-alone management server that simulates a service processor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "lib/protocol/procedures.hpp"
#include "simulator/control/control_channel.hpp"
#include "simulator/control/controller.hpp"
#include "simulator/control/ctl_client.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/scenario.hpp"
#include "simulator/rpc/rpc_service.hpp"
#include "simulator/rpc/service_notify.hpp"

namespace {

using namespace qel::simd;

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

struct Options {
  std::string scenarioFile;
  std::string program = std::to_string(qel::proc::kDefaultProgram);
  bool foreground = false;
  bool checkOnly = false;
  int logLevel = kLogInfo;
  std::string pidFile;
  std::string controlPath;
};

std::optional<rpcprog_t> parseProgram(const std::string &text) {
  try {
    std::size_t used = 0;
    const unsigned long long value = std::stoull(text, &used, 0);
    if (used != text.size() || value == 0 || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<rpcprog_t>(value);
  } catch (const std::exception &) {
    return std::nullopt;
  }
}

Scenario loadScenario(const Options &options) {
  return options.scenarioFile.empty() ? builtinScenario() : loadScenarioFile(options.scenarioFile);
}

// Detaches from the terminal. The parent stays until the child reports that it is registered,
// so that a script may call the server as soon as the command returns; its exit status is the
// child's verdict.
int detach(int &readyFd) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child > 0) {
    close(ready[1]);
    char verdict = 1;
    const bool reported = read(ready[0], &verdict, 1) == 1;
    _exit(reported && verdict == 0 ? 0 : kExitFailure);
  }
  close(ready[0]);
  setsid();
  if (chdir("/") != 0) return -1;
  const int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  readyFd = ready[1];
  return 0;
}

void report(int readyFd, bool started) {
  if (readyFd < 0) return;
  const char verdict = started ? 0 : 1;
  [[maybe_unused]] ssize_t written = write(readyFd, &verdict, 1);
  close(readyFd);
}

int serve(const Options &options, rpcprog_t program, Scenario scenario) {
  int readyFd = -1;
  if (!options.foreground && detach(readyFd) != 0) {
    logf(kLogError, "cannot detach: %s", std::strerror(errno));
    return kExitFailure;
  }
  SpState state(std::move(scenario));
  RpcService *service = nullptr;
  ServerControls controls{
      [&] {
        logf(kLogInfo, "stop requested");
        service->requestStop();
      },
      [&] {
        try {
          state.load(loadScenario(options));
          logf(kLogInfo, "scenario reloaded from %s", state.scenario().origin.c_str());
          return static_cast<int>(kOk);
        } catch (const ScenarioError &error) {
          logf(kLogError, "configure: %s; keeping the current state", error.what());
          return static_cast<int>(kBadValue);
        }
      }};
  RpcService rpc(program, state, controls);
  service = &rpc;
  Controller controller(rpc, state);
  std::string error;
  const std::string controlPath =
      options.controlPath.empty() ? defaultControlPath(program) : options.controlPath;
  // The channel is there before the registration, so it can be used once clients can call.
  if (!controller.openChannel(controlPath, error)) {
    logf(options.controlPath.empty() ? kLogWarning : kLogError, "%s", error.c_str());
    if (!options.controlPath.empty()) {
      report(readyFd, false);
      return kExitFailure;
    }
  }
  rpc.setPartner(&controller);
  if (!rpc.start(error)) {
    logf(kLogError, "%s", error.c_str());
    report(readyFd, false);
    return kExitFailure;
  }
  if (!options.pidFile.empty()) std::ofstream(options.pidFile) << getpid() << '\n';
  report(readyFd, true);
  if (!notifyServiceManager("READY=1")) logf(kLogWarning, "cannot tell the service manager");
  rpc.run();
  rpc.unregister();
  if (!options.pidFile.empty()) unlink(options.pidFile.c_str());
  logf(kLogInfo, "stopped");
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && std::string(argv[1]) == "ctl") return runControlClient(argc - 1, argv + 1);
  Options options;
  CLI::App app{
      "qel-simd: a management server that simulates a service processor, for developing and\n"
      "testing management programs against libqel without a real SP."};
  app.add_option("-s,--scenario", options.scenarioFile,
                 "JSON scenario with the starting state (default: the built-in one)");
  app.add_option("-p,--program", options.program,
                 "ONC RPC program number, decimal or 0x-hex (default " +
                     qel::proc::defaultProgramText() + ")");
  app.add_flag("-f,--foreground", options.foreground,
               "stay in the foreground (otherwise detach once registered)");
  app.add_option("-l,--log-level", options.logLevel,
                 "0 errors, 1 warnings, 2 information (default), 3 debug, 4 trace")
      ->check(CLI::Range(0, kMaxLogLevel));
  app.add_option("--pidfile", options.pidFile, "write the server's process id to this file");
  app.add_option("--control", options.controlPath,
                 "control socket (default: $XDG_RUNTIME_DIR/qel-simd/PROGRAM.sock, else "
                 "/run/qel-simd/ or /tmp/qel-simd-UID/); see 'qel-simd ctl --help'");
  app.add_flag("--check", options.checkOnly, "load the scenario, report problems and exit");
  app.set_version_flag("--version", "qel-simd " QEL_TOOLS_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : kExitBadInput;
  }
  setLogLevel(options.logLevel);
  // A detached server works from "/", and configure reads the scenario file again later.
  for (std::string *path : {&options.scenarioFile, &options.pidFile, &options.controlPath}) {
    if (!path->empty()) *path = std::filesystem::absolute(*path).string();
  }

  const auto program = parseProgram(options.program);
  if (!program) {
    std::fprintf(stderr, "qel-simd: --program %s: expected a number from 1 to 0xFFFFFFFF\n",
                 options.program.c_str());
    return kExitBadInput;
  }
  std::optional<Scenario> scenario;
  try {
    scenario = loadScenario(options);
  } catch (const ScenarioError &error) {
    std::fprintf(stderr, "qel-simd: bad scenario: %s\n", error.what());
    return kExitBadInput;
  }
  if (options.checkOnly) {
    std::printf("%s: scenario is valid\n", scenario->origin.c_str());
    return 0;
  }
  return serve(options, *program, std::move(*scenario));
}
