// SPDX-License-Identifier: Apache-2.0
// HTTPS: OpenSSL's client at each version, curl, a plain-text client and a silent one on the TLS
// port, and certificate files the server must refuse.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <fstream>

#include "child_process.hpp"
#include "http_client.hpp"

namespace qel::test {
namespace {

const std::string kTwoRequests =
    "GET /echo HTTP/1.1\r\nHost: localhost\r\n\r\n"
    "GET /echo?n=2 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";

// OpenSSL's client at exactly `version`, trusting the test certificate, over a raw connection.
class TlsClient {
 public:
  TlsClient(int port, int version) : raw_(port), context_(SSL_CTX_new(TLS_client_method())) {
    SSL_CTX_set_min_proto_version(context_, version);
    SSL_CTX_set_max_proto_version(context_, version);
    // Let the client offer old versions, so that it is the server that refuses them.
    SSL_CTX_set_security_level(context_, 0);
    SSL_CTX_load_verify_locations(context_, testCertificate().certificate.c_str(), nullptr);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    ssl_ = SSL_new(context_);
    SSL_set_fd(ssl_, raw_.fd());
    SSL_set1_host(ssl_, "localhost");
    connected_ = SSL_connect(ssl_) == 1;
  }
  ~TlsClient() {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
  }
  bool connected() const { return connected_; }
  int version() const { return SSL_version(ssl_); }
  bool send(const std::string &bytes) {
    std::size_t sent = 0;
    return SSL_write_ex(ssl_, bytes.data(), bytes.size(), &sent) == 1 && sent == bytes.size();
  }
  std::string untilClosed() {
    std::string all;
    char chunk[4096];
    std::size_t got = 0;
    while (SSL_read_ex(ssl_, chunk, sizeof chunk, &got) == 1) all.append(chunk, got);
    return all;
  }

 private:
  RawClient raw_;
  SSL_CTX *context_;
  SSL *ssl_ = nullptr;
  bool connected_ = false;
};

std::string withoutDates(std::string response) {
  for (std::string previous; previous != response;) {
    previous = response;
    response = withoutDate(response);
    if (response.ends_with("(no Date)")) return previous;
  }
  return response;
}

class TlsVersion : public testing::TestWithParam<int> {};

TEST_P(TlsVersion, ServesKeptAliveRequests) {
  TestServer server(http::Limits{}, testCertificate());
  TlsClient client(server.port(), GetParam());
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(client.version(), GetParam());
  ASSERT_TRUE(client.send(kTwoRequests));
  EXPECT_EQ(withoutDates(client.untilClosed()),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 17\r\n\r\nGET "
            "/echo\nsecure\n"
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 21\r\nConnection: "
            "close\r\n\r\nGET /echo\nn=2\nsecure\n");
}

INSTANTIATE_TEST_SUITE_P(Versions, TlsVersion, testing::Values(TLS1_2_VERSION, TLS1_3_VERSION));

TEST(Tls, RefusesVersionsBefore12) {
  TestServer server(http::Limits{}, testCertificate());
  TlsClient client(server.port(), TLS1_1_VERSION);
  EXPECT_FALSE(client.connected());
}

TEST(Tls, AnswersCurl) {
  TestServer server(http::Limits{}, testCertificate());
  std::string output;
  const int status =
      runCommand(std::string(QEL_CURL) + " -sS --cacert " + testCertificate().certificate +
                     " https://localhost:" + std::to_string(server.port()) + "/echo?via=curl",
                 output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "GET /echo\nvia=curl\nsecure\n");
}

TEST(Tls, TellsAPlainTextClientToUseTls) {
  TestServer server(http::Limits{}, testCertificate());
  RawClient client(server.port());
  client.send("GET /echo HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(withoutDate(client.untilClosed()),
            refusal("400 Bad Request", "this port speaks HTTPS (TLS); plain HTTP is not served"));
}

TEST(Tls, ClosesAHandshakeNotDoneInTime) {
  http::Limits limits;
  limits.requestTimeout = 500ms;
  limits.idleTimeout = 10s;
  TestServer server(limits, testCertificate());
  RawClient silent(server.port()), stalled(server.port());
  // A ClientHello's record header promising more than ever comes.
  stalled.send(std::string("\x16\x03\x01\x02\x00\x01", 6));
  const auto start = Clock::now();
  EXPECT_EQ(silent.untilClosed(3s), "");
  EXPECT_EQ(stalled.untilClosed(3s), "");
  EXPECT_LT(Clock::now() - start, 1500ms);
}

struct BadFiles {
  const char *name;
  std::string certificate;
  std::string key;
  std::string error;
};

TEST(Tls, RefusesFilesItCannotUse) {
  const http::TlsFiles &good = testCertificate();
  const std::string directory = good.certificate.substr(0, good.certificate.rfind('/'));
  const std::string text = directory + "/text.pem", otherKey = directory + "/other-key.pem";
  std::ofstream(text) << "not a certificate\n";
  std::string output;
  ASSERT_EQ(runCommand(std::string(QEL_OPENSSL) +
                           " genpkey -algorithm EC -pkeyopt "
                           "ec_paramgen_curve:prime256v1 -out " +
                           otherKey,
                       output),
            0)
      << output;
  const BadFiles cases[] = {
      {"missing", directory + "/none.pem", good.key,
       "cannot read " + directory + "/none.pem: No such file or directory"},
      {"not_pem", text, good.key, "no certificate in " + text + ": "},
      {"key_not_pem", good.certificate, text, "no private key in " + text + ": "},
      {"other_key", good.certificate, otherKey,
       "the key in " + otherKey + " does not match the certificate in " + good.certificate},
  };
  for (const BadFiles &files : cases) {
    http::Server server(http::Limits{}, echoHandler);
    std::string error;
    EXPECT_FALSE(server.useTls({files.certificate, files.key}, error)) << files.name;
    EXPECT_EQ(error.substr(0, files.error.size()), files.error) << files.name;
  }
}

}  // namespace
}  // namespace qel::test
