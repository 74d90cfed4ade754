// SPDX-License-Identifier: Apache-2.0
#include "redfish/tls_identity.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "redfish/state_files.hpp"

namespace qel::redfish {
namespace {

template <auto Free>
struct Freer {
  template <typename T>
  void operator()(T *p) const {
    Free(p);
  }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freer<X509_free>>;
using Memory = std::unique_ptr<BIO, Freer<BIO_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Freer<X509_EXTENSION_free>>;

constexpr long kTenYears = 10L * 365 * 24 * 3600;

std::string pem(const std::function<int(BIO *)> &write) {
  Memory bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1) return "";
  char *data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

bool addExtension(X509 *certificate, int nid, const std::string &value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// A self-signed certificate for `host` with `key`.
Certificate certificateFor(EVP_PKEY *key, const std::string &host) {
  Certificate certificate(X509_new());
  if (!certificate) return nullptr;
  X509 *c = certificate.get();
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7F;  // a positive serial number
  BIGNUM *number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool ok =
      X509_set_version(c, 2) == 1 && number &&
      BN_to_ASN1_INTEGER(number, X509_get_serialNumber(c)) &&
      X509_gmtime_adj(X509_getm_notBefore(c), -3600) &&
      X509_gmtime_adj(X509_getm_notAfter(c), kTenYears) && X509_set_pubkey(c, key) == 1 &&
      X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char *>(host.c_str()), -1, -1,
                                 0) == 1 &&
      X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "O", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char *>("qel-redfishd"), -1, -1,
                                 0) == 1 &&
      X509_set_issuer_name(c, X509_get_subject_name(c)) == 1 &&
      addExtension(c, NID_basic_constraints, "critical,CA:TRUE,pathlen:0") &&
      addExtension(c, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
      addExtension(c, NID_ext_key_usage, "serverAuth") &&
      addExtension(c, NID_subject_alt_name, "DNS:" + host + ",DNS:localhost,IP:127.0.0.1,IP:::1") &&
      X509_sign(c, key, EVP_sha256()) > 0;
  BN_free(number);
  return ok ? std::move(certificate) : nullptr;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

std::optional<http::TlsFiles> selfSignedIdentity(const std::string &stateDirectory,
                                                 std::string &error) {
  const std::string directory = stateDirectory + "/tls";
  const http::TlsFiles files{directory + "/certificate.pem", directory + "/key.pem"};
  if (exists(files.certificate) && exists(files.key)) return files;
  if (exists(files.certificate) || exists(files.key)) {
    error =
        directory + " holds only one of certificate.pem and key.pem; remove it to make a new pair";
    return std::nullopt;
  }
  if (!prepareStateDirectory(directory, error)) return std::nullopt;
  char host[256] = "localhost";
  gethostname(host, sizeof host - 1);
  const Key key(EVP_EC_gen("P-256"));
  const Certificate certificate = key ? certificateFor(key.get(), host) : nullptr;
  const std::string keyText = certificate ? pem([&](BIO *bio) {
    return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  })
                                          : "";
  const std::string certificateText =
      certificate ? pem([&](BIO *bio) { return PEM_write_bio_X509(bio, certificate.get()); }) : "";
  if (keyText.empty() || certificateText.empty()) {
    error = "cannot make a self-signed certificate";
    return std::nullopt;
  }
  if (!writeAtomically(files.key, keyText, error)) return std::nullopt;
  if (!writeAtomically(files.certificate, certificateText, error)) {
    unlink(files.key.c_str());  // never a key without its certificate
    return std::nullopt;
  }
  return files;
}

}  // namespace qel::redfish
