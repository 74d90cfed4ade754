// SPDX-License-Identifier: Apache-2.0
// The web configuration file (--web.config.file), in the format of Prometheus's exporter-toolkit:
//
//   tls_server_config:
//     cert_file: /etc/qel/exporter.crt
//     key_file: /etc/qel/exporter.key
//   basic_auth_users:
//     prometheus: $2y$10$...      # a bcrypt hash (htpasswd -nBC 10 "" | tr -d ':\n')
//
// read by a small YAML reader of what this format uses: block mappings by indentation, plain,
// single- and double-quoted scalars, comments, a leading "---". Unknown keys and the toolkit's
// settings the exporter does not implement are refused by name, so that nothing a user wrote
// is silently ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::exporter {

struct WebConfig {
  std::string certificate, key;                            // both or neither: PEM files, for TLS
  std::vector<std::pair<std::string, std::string>> users;  // name and bcrypt hash
  bool tls() const { return !certificate.empty(); }
};

// The configuration `document` holds; relative file names are taken from `directory` (the
// file's own, ending in '/', or "" for the working directory). Nothing, with a one-line reason in
// `error`, for a document that does not fit.
std::optional<WebConfig> parseWebConfig(std::string_view document, const std::string &directory,
                                        std::string &error);
// parseWebConfig on the contents of the file at `path`.
std::optional<WebConfig> loadWebConfig(const std::string &path, std::string &error);

}  // namespace qel::exporter
