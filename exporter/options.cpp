// SPDX-License-Identifier: Apache-2.0
#include "exporter/options.hpp"

#include <CLI/CLI.hpp>

#include "exporter/families.hpp"
#include "lib/protocol/procedures.hpp"

namespace qel::exporter {
namespace {

struct CommandLine {
  std::string listen = ":" + std::to_string(kDefaultPort);
  std::string host = "localhost";
  std::string program;
  std::string config;
  std::string webConfig;
  std::vector<std::string> allowed;
  std::string logLevel = "info";
  double scrapeTimeout = 10;
  double timeoutOffset = 0.5;
  std::size_t maxScrapes = 16;
  std::size_t maxTargets = 256;
  double idleSeconds = 600;
};

void addOptions(CLI::App &app, CommandLine &line) {
  app.add_option(
      "--web.listen-address", line.listen,
      "Address to listen on, HOST:PORT or :PORT (default :" + std::to_string(kDefaultPort) + ")");
  app.add_option("--host", line.host, "Host of the SP that /metrics reads (default localhost)");
  app.add_option("--program", line.program,
                 "Its RPC program number, decimal or 0x-hexadecimal (default: QELPROGID, else " +
                     proc::defaultProgramText() + "); also /probe's default");
  app.add_option("--config", line.config, "JSON file mapping sensor catalogue texts to metrics");
  app.add_option("--web.config.file", line.webConfig,
                 "YAML file with TLS certificate and key and basic_auth_users (bcrypt), in the "
                 "format of Prometheus's exporter-toolkit");
  app.add_option("--probe.allow", line.allowed,
                 "Targets /probe may read: IPv4 addresses, networks (ADDRESS/BITS) and host name "
                 "patterns (*.example.org); repeat or separate with commas (default: only --host)")
      ->delimiter(',');
  app.add_option("--log-level", line.logLevel, "error, warn, info or debug (default info)");
  app.add_option("--scrape-timeout", line.scrapeTimeout,
                 "Seconds a scrape may take when the scraper does not say (default 10)")
      ->check(CLI::PositiveNumber);
  app.add_option("--timeout-offset", line.timeoutOffset,
                 "Seconds taken off the scraper's timeout (default 0.5)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--web.max-requests", line.maxScrapes,
                 "Scrapes in progress at once; more are answered 503 (default 16)")
      ->check(CLI::Range(1, 4096));
  app.add_option("--targets.max", line.maxTargets,
                 "SPs with a worker and connection at once (default 256)")
      ->check(CLI::Range(1, 65536));
  app.add_option("--targets.idle-timeout", line.idleSeconds,
                 "Seconds without a scrape after which a target's connection is closed "
                 "(default 600)")
      ->check(CLI::PositiveNumber);
  app.set_version_flag("--version", "qel-exporter " QEL_TOOLS_VERSION);
}

// The settings `line` gives, or the reason it gives none.
std::optional<Settings> settingsOf(const CommandLine &line, std::string &reason) {
  Settings settings;
  const auto listen = tools::listenAddress(line.listen);
  const auto program = tools::programNumber(line.program);
  const auto level = tools::logLevelNamed(line.logLevel);
  std::string hostTrouble = hostProblem(line.host);
  if (!listen) {
    reason = "--web.listen-address: not HOST:PORT or :PORT";
  } else if (!program) {
    reason = "--program: not a number from 1 to 4294967295 (decimal or 0x-hexadecimal)";
  } else if (!level) {
    reason = "--log-level: not error, warn, info or debug";
  } else if (!hostTrouble.empty()) {
    reason = "--host: " + hostTrouble;
  }
  for (const std::string &entry : line.allowed) {
    if (!reason.empty()) break;
    if (!settings.service.allowed.add(entry, reason)) reason = "--probe.allow: " + reason;
  }
  if (!reason.empty()) return std::nullopt;
  auto seconds = [](double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
  };
  settings.listen = *listen;
  settings.service.defaultTarget = {line.host, *program};
  settings.service.times = {seconds(line.scrapeTimeout), seconds(line.timeoutOffset)};
  settings.service.maxScrapes = line.maxScrapes;
  settings.service.maxTargets = line.maxTargets;
  settings.pool = {line.maxTargets, seconds(line.idleSeconds)};
  settings.logLevel = *level;
  auto mapping = tools::configuredMapping(line.config, reason);
  if (!mapping) return std::nullopt;
  if (reason = mappingNameProblem(*mapping); !reason.empty()) {
    reason = line.config + ": " + reason;
    return std::nullopt;
  }
  settings.mapping = std::move(*mapping);
  if (!line.webConfig.empty()) {
    auto web = loadWebConfig(line.webConfig, reason);
    if (!web) return std::nullopt;
    settings.service.web = std::move(*web);
  }
  return settings;
}

}  // namespace

std::optional<Settings> readSettings(int argc, const char *const *argv, std::ostream &out,
                                     std::ostream &err, int &status) {
  CLI::App app("Prometheus exporter of a service processor's sensors and state, over libqel.",
               "qel-exporter");
  CommandLine line;
  addOptions(app, line);
  return tools::readCommandLine(app, argc, argv, out, err, status,
                                [&line](std::string &reason) { return settingsOf(line, reason); });
}

}  // namespace qel::exporter
