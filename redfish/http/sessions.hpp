// SPDX-License-Identifier: Apache-2.0
// Login sessions. A session is found by its token, of which only a SHA-256 digest is kept; it
// ends when deleted, when its account goes, or after the session timeout without a request.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qel::redfish {

struct Session {
  std::string id;  // 16 random hexadecimal digits: the session's URI segment
  std::string accountId;
  std::string userName;
  std::string origin;   // the client's address
  std::string context;  // what the client asked to keep with it
  std::chrono::system_clock::time_point created;
  std::chrono::steady_clock::time_point lastUsed;
};

class SessionStore {
 public:
  explicit SessionStore(std::size_t most) : most_(most) {}

  // Opens a session: its token (64 hexadecimal digits, 256 random bits), or nothing when
  // `most` sessions are open.
  std::optional<std::string> open(Session session);
  // The session of `token`, its idle time restarted; nothing for an unknown or expired token.
  std::optional<Session> use(const std::string &token, std::chrono::seconds timeout);
  std::optional<Session> find(const std::string &id, std::chrono::seconds timeout);
  std::vector<Session> list(std::chrono::seconds timeout);
  bool close(const std::string &id);
  // Ends every session of an account (it was removed, disabled or given a new password), but
  // `keep`.
  void closeAccount(const std::string &accountId, const std::string &keep = "");

 private:
  void expire(std::chrono::seconds timeout);  // with mutex_ held

  const std::size_t most_;
  std::mutex mutex_;
  std::unordered_map<std::string, Session> byDigest_;  // SHA-256 of the token, hexadecimal
};

}  // namespace qel::redfish
