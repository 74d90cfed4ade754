// SPDX-License-Identifier: Apache-2.0
// qel-redfishd: a service processor as a Redfish service. See qel-redfishd(8) and
// docs/redfish.md.
#include <iostream>

#include "redfish/add_account.hpp"
#include "redfish/http/service.hpp"
#include "redfish/state_files.hpp"
#include "redfish/tls_identity.hpp"
#include "tools/http/server.hpp"
#include "tools/stop_signals.hpp"

using namespace qel;
using namespace qel::redfish;

namespace {

int failed(const std::string &reason) {
  tools::logLine(tools::LogLevel::kError, "", reason);
  return 1;
}

http::Limits limits() {
  http::Limits limits;
  limits.maxBodyBytes = 64 * 1024;  // the largest body a client sends here is a few hundred bytes
  limits.retryAfter = std::chrono::seconds(kRetryAfterSeconds);
  return limits;
}

}  // namespace

int main(int argc, char **argv) {
  int status = 0;
  const auto settings = readSettings(argc, argv, std::cout, std::cerr, status);
  if (!settings) return status;
  if (settings->addAccount) return addAccount(*settings);
  tools::setLogLevel(settings->logLevel);

  std::string error;
  if (!prepareStateDirectory(settings->stateDirectory, error)) return failed(error);
  const auto uuid = serviceUuid(settings->stateDirectory, error);
  if (!uuid) return failed(error);
  AccountStore accounts(settings->stateDirectory);
  if (!accounts.open(error)) return failed(error);
  if (accounts.list().empty()) {
    tools::logLine(tools::LogLevel::kWarn, "",
                   "no accounts yet: add an administrator with qel-redfishd --add-account NAME "
                   "--role Administrator");
  }
  http::TlsFiles files{settings->certificate, settings->key};
  if (!settings->plainHttp && files.certificate.empty()) {
    const auto made = selfSignedIdentity(settings->stateDirectory, error);
    if (!made) return failed(error);
    files = *made;
  }

  tools::StopSignals stopSignals;  // before the server starts its threads

  SessionStore sessions(64);
  ServiceSettings serviceSettings{{settings->host, settings->program, settings->spTimeout},
                                  settings->mapping,
                                  !settings->plainHttp,
                                  settings->listen.port,
                                  *uuid};
  ServiceState state{serviceSettings, accounts, sessions};
  http::Server server(limits(), Service(state));
  if (!settings->plainHttp && !server.useTls(files, error)) return failed(error);
  const std::string &host = settings->listen.host;
  if (!server.listen(host, settings->listen.port, error)) return failed(error);
  state.settings.port = server.port();
  tools::logLine(tools::LogLevel::kInfo,
                 "address=" + tools::logValue(host) + " port=" + std::to_string(server.port()) +
                     (settings->plainHttp ? " scheme=http" : " scheme=https") +
                     " sp=" + tools::logValue(settings->host) +
                     " program=" + std::to_string(settings->program),
                 "listening");
  const bool served =
      stopSignals.serveUntilStopped([&] { return server.run(); }, [&] { server.stop(); });
  tools::logLine(tools::LogLevel::kInfo, "", served ? "stopped" : "the listening socket failed");
  return served ? 0 : 1;
}
