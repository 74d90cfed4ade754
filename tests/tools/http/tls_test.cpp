// SPDX-License-Identifier: Apache-2.0
// HTTPS: OpenSSL's command-line client at each version, curl, a plain-text client and a silent one
// on the TLS port, and certificate files the server must refuse.
#include <gtest/gtest.h>

#include <fstream>

#include "child_process.hpp"
#include "http_client.hpp"

namespace qel::test {
namespace {

// OpenSSL's command-line client at exactly `version` ("tls1_2"), trusting the test
// certificate, sending two requests on one connection: what it printed (its own messages
// left out), and its status.
int sClient(int port, const std::string &version, std::string &output) {
  const std::string requests =
      "GET /echo HTTP/1.1\\r\\nHost: localhost\\r\\n\\r\\n"
      "GET /echo?n=2 HTTP/1.1\\r\\nHost: localhost\\r\\nConnection: close\\r\\n\\r\\n";
  // Security level 0 lets the client offer old versions, so that it is the server that refuses.
  return runCommand("{ printf '" + requests + "' | " + QEL_OPENSSL +
                        " s_client -quiet -connect 127.0.0.1:" + std::to_string(port) +
                        " -verify_hostname localhost -verify_return_error -CAfile " +
                        testCertificate().certificate + " -cipher DEFAULT@SECLEVEL=0 -" + version +
                        " 2>/dev/null; }",
                    output);
}

class TlsVersion : public testing::TestWithParam<const char *> {};

TEST_P(TlsVersion, ServesKeptAliveRequests) {
  TestServer server(http::Limits{}, testCertificate());
  std::string output;
  EXPECT_EQ(sClient(server.port(), GetParam(), output), 0);
  EXPECT_EQ(withoutDates(output),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 17\r\n\r\nGET "
            "/echo\nsecure\n"
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 21\r\nConnection: "
            "close\r\n\r\nGET /echo\nn=2\nsecure\n");
}

INSTANTIATE_TEST_SUITE_P(Versions, TlsVersion, testing::Values("tls1_2", "tls1_3"));

TEST(Tls, RefusesVersionsBefore12) {
  TestServer server(http::Limits{}, testCertificate());
  std::string output;
  EXPECT_NE(sClient(server.port(), "tls1_1", output), 0);
  EXPECT_EQ(output, "");
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
  EXPECT_EQ(withoutDates(client.untilClosed()),
            refusal("400 Bad Request", "this port speaks HTTPS (TLS); plain HTTP is not served"));
}

TEST(Tls, ClosesAHandshakeNotDoneInTime) {
  TestServer server(http::Limits{.requestTimeout = 500ms, .idleTimeout = 10s}, testCertificate());
  RawClient silent(server.port()), stalled(server.port());
  // A ClientHello's record header promising more than ever comes.
  stalled.send(std::string("\x16\x03\x01\x02\x00\x01", 6));
  const auto start = Clock::now();
  EXPECT_EQ(silent.untilClosed(3s), "");
  EXPECT_EQ(stalled.untilClosed(3s), "");
  EXPECT_LT(Clock::now() - start, 1500ms);
}

TEST(Tls, RefusesFilesItCannotUse) {
  const http::TlsFiles &good = testCertificate();
  const std::string directory = good.certificate.substr(0, good.certificate.rfind('/'));
  const std::string text = directory + "/text.pem", otherKey = directory + "/other-key.pem";
  std::ofstream(text) << "not a certificate\n";
  std::string output;
  const std::string otherKeyCommand =
      std::string(QEL_OPENSSL) +
      " genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out ";
  ASSERT_EQ(runCommand(otherKeyCommand + otherKey, output), 0) << output;
  const std::pair<http::TlsFiles, std::string> cases[] = {
      {{directory + "/none.pem", good.key},
       "cannot read " + directory + "/none.pem: No such file or directory"},
      {{text, good.key}, "no certificate in " + text + ": "},
      {{good.certificate, otherKey},
       "the key in " + otherKey + " does not match the certificate in " + good.certificate}};
  for (const auto &[files, expected] : cases) {
    http::Server server(http::Limits{}, echoHandler);
    std::string error;
    EXPECT_FALSE(server.useTls(files, error)) << expected;
    EXPECT_EQ(error.substr(0, expected.size()), expected);
  }
}

}  // namespace
}  // namespace qel::test
