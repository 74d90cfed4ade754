// SPDX-License-Identifier: Apache-2.0
// The web configuration file: what a document gives, and the reason it is refused.
#include "exporter/web_config.hpp"

#include <gtest/gtest.h>

namespace qel::exporter {
namespace {

constexpr const char *kHash = "$2b$04$KXGYrJ3fyo9y7E9fFM/LOOjloTpnnosuMTMeVWRqKuh58thM0qh7O";

TEST(ExporterWebConfig, Accepted) {
  struct Case {
    std::string document;
    const char *certificate, *key;
    std::vector<std::pair<std::string, std::string>> users;
  };
  const Case kCases[] = {
      {"", "", "", {}},
      {"---\n# all of it\ntls_server_config:\n  cert_file: tls/a.crt   # PEM\n"
       "  key_file: '/etc/q''el/a.key'\nbasic_auth_users:\n    prometheus: " +
           std::string(kHash) + "\n    \"grafana\": \"" + kHash + "\"\r\n",
       "/etc/qel/tls/a.crt",
       "/etc/q'el/a.key",
       {{"prometheus", kHash}, {"grafana", kHash}}},
      {"basic_auth_users:\n", "", "", {}},
  };
  for (const Case &c : kCases) {
    std::string error;
    const auto config = parseWebConfig(c.document, "/etc/qel/", error);
    ASSERT_TRUE(config) << c.document << ": " << error;
    EXPECT_EQ(config->certificate, c.certificate);
    EXPECT_EQ(config->key, c.key);
    EXPECT_EQ(config->users, c.users);
  }
}

TEST(ExporterWebConfig, Refused) {
  const std::pair<std::string, const char *> kRefused[] = {
      {"tls_server_config:\n  cert_file: a.crt\n",
       "line 1: \"tls_server_config\" needs both \"cert_file\" and \"key_file\""},
      {"tls_server_config:\n  cert_file: a\n  key_file: b\n  min_version: TLS13\n",
       "line 4: \"tls_server_config\": \"min_version\" is not supported"},
      {"http_server_config:\n  http2: false\n", "line 1: \"http_server_config\" is not supported"},
      {"basic_auth_users:\n  alice: secret\n",
       "line 2: the password of \"alice\" is not a bcrypt hash ($2y$...)"},
      {"basic_auth_users:\n  alice: $1$abc\n",
       "line 2: the password of \"alice\" is not a bcrypt hash ($2y$...)"},
      {"basic_auth_users:\n  alice:\n", "line 2: \"alice\" needs a value"},
      {"basic_auth_users:\n  - alice\n",
       "line 2: only block mappings and plain or quoted texts are supported"},
      {"basic_auth_users: {alice: x}\n",
       "line 1: only block mappings and plain or quoted texts are supported"},
      {"basic_auth_users: x\n", "line 1: \"basic_auth_users\" is not a mapping"},
      {"tls_server_config:\n  cert_file: a\n   key_file: b\n", "line 3: unexpected indentation"},
      {"tls_server_config:\n\tcert_file: a\n", "line 2: a tab in the indentation"},
      {"tls_server_config:\n  cert_file: \"a\n", "line 2: a quoted text is not closed"},
      {"tls_server_config:\n  cert_file: \"a\\x\"\n",
       "line 2: an escape \\x that is not supported"},
      {"basic_auth_users:\n  bob: " + std::string(kHash) + "\n  bob: " + kHash + "\n",
       "line 3: \"bob\" is given twice"},
      {"just text\n", "line 1: not \"key: value\""},
      {std::string(65 * 1024, '#'), "larger than 64 KiB"},
  };
  for (const auto &[document, reason] : kRefused) {
    std::string error;
    EXPECT_FALSE(parseWebConfig(document, "", error)) << document;
    EXPECT_EQ(error, reason);
  }
}

}  // namespace
}  // namespace qel::exporter
