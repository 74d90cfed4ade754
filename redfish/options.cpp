// SPDX-License-Identifier: Apache-2.0
#include "redfish/options.hpp"

#include <CLI/CLI.hpp>

#include "lib/protocol/procedures.hpp"
#include "redfish/accounts/accounts_file.hpp"
#include "tools/network_text.hpp"

namespace qel::redfish {
namespace {

struct CommandLine {
  std::string listen = ":443";
  std::string host = "localhost";
  std::string program;
  std::string stateDirectory = "/var/lib/qel-redfishd";
  std::string certificate, key;
  bool plainHttp = false;
  std::string addAccount, role;
  std::string config;
  double spTimeout = 5;
  std::string logLevel = "info";
};

void addOptions(CLI::App &app, CommandLine &line) {
  app.add_option("--listen", line.listen,
                 "Address to listen on, ADDRESS:PORT, [V6ADDRESS]:PORT or :PORT (default :443, "
                 "every address)");
  app.add_option("--host", line.host, "Host of the SP's management server (default localhost)");
  app.add_option("--program", line.program,
                 "Its RPC program number, decimal or 0x-hexadecimal (default: QELPROGID, else " +
                     proc::defaultProgramText() + ")");
  app.add_option("--state-dir", line.stateDirectory,
                 "Accounts, the service's UUID and the self-signed certificate (default "
                 "/var/lib/qel-redfishd)");
  auto *certificate = app.add_option("--tls-cert", line.certificate,
                                     "PEM certificate (its chain after it) to serve HTTPS with");
  auto *key = app.add_option("--tls-key", line.key, "PEM private key of --tls-cert");
  certificate->needs(key);
  key->needs(certificate);
  app.add_flag("--http", line.plainHttp,
               "Serve plain HTTP instead of HTTPS (logins and credentials are then refused)")
      ->excludes(certificate)
      ->excludes(key);
  auto *add = app.add_option("--add-account", line.addAccount,
                             "Add an account NAME (password on standard input) and exit");
  app.add_option("--role", line.role, "Role of --add-account: Administrator, Operator, ReadOnly")
      ->needs(add);
  add->needs("--role");
  app.add_option("--config", line.config,
                 "JSON file mapping sensor catalogue texts (as qel-exporter's --config)");
  app.add_option("--sp-timeout", line.spTimeout,
                 "Seconds a request may wait for the SP before it is answered 503 (default 5)")
      ->check(CLI::Range(0.1, 60.0));
  app.add_option("--log-level", line.logLevel, "error, warn, info or debug (default info)");
  app.set_version_flag("--version", "qel-redfishd " QEL_TOOLS_VERSION);
}

std::optional<Settings> settingsOf(const CommandLine &line, std::string &reason) {
  Settings settings;
  const auto listen = tools::listenAddress(line.listen);
  const auto program = tools::programNumber(line.program);
  const auto level = tools::logLevelNamed(line.logLevel);
  const auto role = roleNamed(line.role);
  if (!listen) {
    reason = "--listen: not ADDRESS:PORT, [V6ADDRESS]:PORT or :PORT";
  } else if (!tools::isValidHostname(line.host)) {
    reason = "--host: not a host name or IPv4 address";
  } else if (!program) {
    reason = "--program: not a number from 1 to 4294967295 (decimal or 0x-hexadecimal)";
  } else if (!level) {
    reason = "--log-level: not error, warn, info or debug";
  } else if (!line.addAccount.empty() && !isValidUserName(line.addAccount)) {
    reason =
        "--add-account: a name is 1 to 64 letters, digits, '.', '_', '-' and '@', not "
        "starting with '-'";
  } else if (!line.addAccount.empty() && !role) {
    reason = "--role: not Administrator, Operator or ReadOnly";
  }
  if (!reason.empty()) return std::nullopt;
  settings.listen = *listen;
  settings.host = line.host;
  settings.program = *program;
  settings.stateDirectory = line.stateDirectory;
  settings.certificate = line.certificate;
  settings.key = line.key;
  settings.plainHttp = line.plainHttp;
  if (!line.addAccount.empty()) settings.addAccount = line.addAccount;
  if (role) settings.role = *role;
  settings.spTimeout = std::chrono::milliseconds(static_cast<long>(line.spTimeout * 1000));
  settings.logLevel = *level;
  auto mapping = tools::configuredMapping(line.config, reason);
  if (!mapping) return std::nullopt;
  settings.mapping = std::move(*mapping);
  return settings;
}

}  // namespace

std::optional<Settings> readSettings(int argc, const char *const *argv, std::ostream &out,
                                     std::ostream &err, int &status) {
  CLI::App app("Redfish service of a service processor, over libqel.", "qel-redfishd");
  CommandLine line;
  addOptions(app, line);
  return tools::readCommandLine(app, argc, argv, out, err, status,
                                [&line](std::string &reason) { return settingsOf(line, reason); });
}

}  // namespace qel::redfish
