// SPDX-License-Identifier: Apache-2.0
// qel-exporter's web configuration file (a YAML subset): a document gives a configuration or a
// one-line reason, never a crash; a configuration has both TLS files or neither, and users whose
// names have no colon and whose hashes are bcrypt.
#include <cstdlib>
#include <string>

#include "exporter/web_config.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string document(reinterpret_cast<const char *>(data), size);
  std::string error;
  const auto config = qel::exporter::parseWebConfig(document, "/etc/", error);
  if (!config) {
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  if (config->certificate.empty() != config->key.empty()) std::abort();
  for (const auto &[user, hash] : config->users) {
    if (user.empty() || user.find(':') != std::string::npos || hash.rfind("$2", 0) != 0) {
      std::abort();
    }
  }
  return 0;
}
