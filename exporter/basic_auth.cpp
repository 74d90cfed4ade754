// SPDX-License-Identifier: Apache-2.0
#include "exporter/basic_auth.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>

#include "tools/http/password.hpp"

namespace qel::exporter {
namespace {

// A bcrypt hash (cost 10) of a password nobody has, checked for users that do not exist.
constexpr std::string_view kNobody = "$2b$10$dqmsZlSl9ozn/x0lkrT9t.YwtLj7XZPx4cV4EP0dQIYuSJ.JmDJ3a";

}  // namespace

BasicAuth::BasicAuth(std::vector<std::pair<std::string, std::string>> users)
    : users_(users.begin(), users.end()) {
  for (std::size_t got = 0; got < key_.size();) {
    const ssize_t n = getrandom(key_.data() + got, key_.size() - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
}

BasicAuth::Digest BasicAuth::digest(const std::string &user, const std::string &password) const {
  // The user's name and the password, told apart by the NUL neither may hold.
  const std::string message = user + '\0' + password;
  Digest out{};
  unsigned length = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
       reinterpret_cast<const unsigned char *>(message.data()), message.size(), out.data(),
       &length);
  return out;
}

bool BasicAuth::allows(const http::Request &request) {
  const auto credentials = http::basicCredentials(request);
  if (!credentials) return false;
  const auto &[user, password] = *credentials;
  const Digest given = digest(user, password);
  {
    std::lock_guard lock(mutex_);
    const auto known = accepted_.find(user);
    if (known != accepted_.end() &&
        CRYPTO_memcmp(known->second.data(), given.data(), given.size()) == 0) {
      return true;
    }
  }
  const auto found = users_.find(user);
  const bool matches =
      http::passwordMatches(found == users_.end() ? kNobody : found->second, password) &&
      found != users_.end();
  if (matches) {
    std::lock_guard lock(mutex_);
    accepted_[user] = given;
  }
  return matches;
}

}  // namespace qel::exporter
