// SPDX-License-Identifier: Apache-2.0
// The users of the web configuration's basic_auth_users, checked on every request. A bcrypt
// check takes tens of milliseconds, and Prometheus sends the same credentials with every
// scrape: a user's last accepted password is remembered as a keyed hash (HMAC-SHA-256 under a
// key made at start), never as itself, and a request that gives it again is let in at once.
// Anything else goes to the bcrypt check, an unknown user against a hash of the exporter's own
// so that the answer takes as long.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tools/http/server.hpp"

namespace qel::exporter {

class BasicAuth {
 public:
  explicit BasicAuth(std::vector<std::pair<std::string, std::string>> users);
  // Whether requests need credentials at all.
  bool enabled() const { return !users_.empty(); }
  // Whether `request` carries the credentials of a user.
  bool allows(const http::Request &request);

 private:
  using Digest = std::array<unsigned char, 32>;
  Digest digest(const std::string &user, const std::string &password) const;

  const std::map<std::string, std::string> users_;  // name and bcrypt hash
  Digest key_{};
  std::mutex mutex_;
  std::map<std::string, Digest> accepted_;
};

}  // namespace qel::exporter
