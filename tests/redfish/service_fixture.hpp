// SPDX-License-Identifier: Apache-2.0
// qel-redfishd's request handler in the test's process, in front of a real qel-simd: three
// accounts (one per role) with a session each, and requests handed to the handler as the
// HTTP server hands them over.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "redfish/http/service.hpp"
#include "simd_process.hpp"

namespace qel::test {

using Json = nlohmann::ordered_json;

enum class Who { kNobody, kAdmin, kOperator, kReader };

struct Reply {
  int status = 0;
  http::Headers headers;
  std::string body;
  Json json;  // the body parsed, when it is JSON
  std::string header(const std::string &name) const;
  // The value at `pointer` in the body as JSON text, or "(absent)".
  std::string at(const std::string &pointer) const;
};

struct Call {
  std::string method;
  std::string target;  // path and query as sent
  std::string body = {};
  Who who = Who::kAdmin;
  std::vector<std::pair<std::string, std::string>> headers = {};
};

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Reply call(const Call &request);
  // `qel-simd ctl COMMAND`, asserted to succeed; what it printed.
  std::string ctl(const std::string &command);
  // The server's calls of procedure `name` since the last reset of its counts.
  int calls(const std::string &name);

  static const char *password(Who who);
  std::string accountId(Who who) const { return ids_.at(who); }
  std::string token(Who who) const { return tokens_.at(who); }

  SimdProcess simd_;
  std::filesystem::path dir_;
  std::unique_ptr<redfish::AccountStore> accounts_;
  std::unique_ptr<redfish::SessionStore> sessions_;
  std::unique_ptr<redfish::ServiceState> state_;
  std::map<Who, std::string> ids_, tokens_;
};

}  // namespace qel::test
