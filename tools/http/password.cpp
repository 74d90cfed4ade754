// SPDX-License-Identifier: Apache-2.0
#include "tools/http/password.hpp"

#include <crypt.h>
#include <openssl/crypto.h>

#include <cstring>
#include <memory>

namespace qel::http {
namespace {

// libcrypt's work area (some 32 KiB), wiped when done: it held the password.
struct CryptArea {
  CryptArea() : data(std::make_unique<crypt_data>()) {}
  ~CryptArea() { OPENSSL_cleanse(data.get(), sizeof *data); }
  CryptArea(const CryptArea &) = delete;
  CryptArea &operator=(const CryptArea &) = delete;
  std::unique_ptr<crypt_data> data;
};

// The password as a C string, wiped when done; nothing when it holds a NUL.
class SecretText {
 public:
  explicit SecretText(std::string_view password) : text_(password) {}
  ~SecretText() { OPENSSL_cleanse(text_.data(), text_.size()); }
  SecretText(const SecretText &) = delete;
  SecretText &operator=(const SecretText &) = delete;
  bool usable() const { return text_.find('\0') == std::string::npos; }
  const char *c_str() const { return text_.c_str(); }

 private:
  std::string text_;
};

// The forms checked: none of the weak ones libcrypt still reads.
constexpr std::string_view kStrongForms[] = {"$y$", "$7$", "$2b$", "$2y$", "$2a$", "$6$", "$5$"};

bool strong(std::string_view hash) {
  for (const std::string_view form : kStrongForms) {
    if (hash.starts_with(form)) return true;
  }
  return false;
}

// A hash libcrypt wrote: a failure is null or starts with '*'.
bool made(const char *hash) { return hash != nullptr && hash[0] != '*'; }

}  // namespace

std::optional<std::string> hashPassword(std::string_view password) {
  const SecretText secret(password);
  if (!secret.usable()) return std::nullopt;
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  // No random bytes given: libcrypt takes them from the kernel. Cost 0: its default.
  if (!made(crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting))) return std::nullopt;
  CryptArea area;
  const char *hash = crypt_rn(secret.c_str(), setting, area.data.get(), sizeof *area.data);
  if (!made(hash)) return std::nullopt;
  return std::string(hash);
}

bool passwordMatches(std::string_view hash, std::string_view password) {
  const SecretText secret(password);
  const std::string setting(hash);
  if (!secret.usable() || !strong(hash) || setting.find('\0') != std::string::npos) return false;
  CryptArea area;
  const char *computed =
      crypt_rn(secret.c_str(), setting.c_str(), area.data.get(), sizeof *area.data);
  // The hash's length is no secret: only the contents are compared in constant time.
  return made(computed) && std::strlen(computed) == hash.size() &&
         CRYPTO_memcmp(computed, hash.data(), hash.size()) == 0;
}

}  // namespace qel::http
