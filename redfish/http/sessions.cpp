// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/sessions.hpp"

#include <openssl/evp.h>

#include "redfish/random_text.hpp"

namespace qel::redfish {
namespace {

std::string digestOf(const std::string &token) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(token.data(), token.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += "0123456789abcdef"[digest[i] >> 4];
    hex += "0123456789abcdef"[digest[i] & 15];
  }
  return hex;
}

}  // namespace

void SessionStore::expire(std::chrono::seconds timeout) {
  const auto now = std::chrono::steady_clock::now();
  std::erase_if(byDigest_,
                [&](const auto &entry) { return now - entry.second.lastUsed > timeout; });
}

std::optional<std::string> SessionStore::open(Session session) {
  std::lock_guard lock(mutex_);
  if (byDigest_.size() >= most_) return std::nullopt;
  const std::string token = randomHex(32);
  session.id = randomHex(8);
  session.created = std::chrono::system_clock::now();
  session.lastUsed = std::chrono::steady_clock::now();
  byDigest_.emplace(digestOf(token), std::move(session));
  return token;
}

std::optional<Session> SessionStore::use(const std::string &token, std::chrono::seconds timeout) {
  // The digest is taken before the lock: lookups compare digests, never the token itself.
  const std::string digest = digestOf(token);
  std::lock_guard lock(mutex_);
  expire(timeout);
  const auto found = byDigest_.find(digest);
  if (found == byDigest_.end()) return std::nullopt;
  found->second.lastUsed = std::chrono::steady_clock::now();
  return found->second;
}

std::optional<Session> SessionStore::find(const std::string &id, std::chrono::seconds timeout) {
  std::lock_guard lock(mutex_);
  expire(timeout);
  for (const auto &[digest, session] : byDigest_) {
    if (session.id == id) return session;
  }
  return std::nullopt;
}

std::vector<Session> SessionStore::list(std::chrono::seconds timeout) {
  std::lock_guard lock(mutex_);
  expire(timeout);
  std::vector<Session> all;
  for (const auto &[digest, session] : byDigest_) all.push_back(session);
  return all;
}

bool SessionStore::close(const std::string &id) {
  std::lock_guard lock(mutex_);
  return std::erase_if(byDigest_, [&](const auto &entry) { return entry.second.id == id; }) > 0;
}

void SessionStore::closeAccount(const std::string &accountId, const std::string &keep) {
  std::lock_guard lock(mutex_);
  std::erase_if(byDigest_, [&](const auto &entry) {
    return entry.second.accountId == accountId && entry.second.id != keep;
  });
}

}  // namespace qel::redfish
