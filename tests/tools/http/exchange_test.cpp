// SPDX-License-Identifier: Apache-2.0
// Requests as bytes on a raw socket against what the server must send back, byte for byte (the
// Date fields checked and left out): well-formed requests of every shape, and every malformed one
// the server refuses itself.
#include <gtest/gtest.h>

#include "http_client.hpp"

namespace qel::test {
namespace {

// A limit small enough to reach in a line of the table.
const http::Limits kExchangeLimits{.maxHeadBytes = 1024, .maxHeaderCount = 8, .maxBodyBytes = 64};

// A 200 of /echo with `body`, and "Connection: `connection`" unless it is empty.
std::string ok(const std::string &body, const std::string &connection = "") {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + (connection.empty() ? "" : "\r\nConnection: " + connection) +
         "\r\n\r\n" + body;
}

// Sent after a request the connection must survive; its answer closes the connection.
const std::string kLast = "GET /echo?last HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
const std::string kLastAnswer = ok("GET /echo\nlast=\n", "close");

struct Exchange {
  const char *name;
  std::string request;
  std::string answer;
  bool kept;  // the connection serves another request after it
};

const std::string kGet = "GET /echo HTTP/1.1\r\nHost: h\r\n";
const std::string kPost = "POST /echo HTTP/1.1\r\nHost: h\r\n";

const Exchange kExchanges[] = {
    {"query", "GET /echo?a=1&b=x+y%21&&c HTTP/1.1\r\nHost: h\r\n\r\n",
     ok("GET /echo\na=1\nb=x y!\nc=\n"), true},
    {"http10", "GET /echo HTTP/1.0\r\n\r\n", ok("GET /echo\n", "close"), false},
    {"http10_keep_alive", "GET /echo HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
     ok("GET /echo\n", "keep-alive"), true},
    {"unknown_method", "BREW /echo HTTP/1.1\r\nHost: h\r\n\r\n", ok("BREW /echo\n"), true},
    {"head", "HEAD /echo HTTP/1.1\r\nHost: h\r\n\r\n",
     "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n\r\n", true},
    {"body", kPost + "Content-Length: 5\r\n\r\nhello", ok("POST /echo\nbody hello\n"), true},
    {"chunked",
     kPost + "Transfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\n6\r\n world\r\n0\r\nT: 1\r\n\r\n",
     ok("POST /echo\nbody hello world\n"), true},
    {"lf_only", "GET /echo HTTP/1.1\nHost: h\n\n", ok("GET /echo\n"), true},
    {"empty_line_first", "\r\n" + kGet + "\r\n", ok("GET /echo\n"), true},
    {"pipelined",
     "GET /echo?n=1 HTTP/1.1\r\nHost: h\r\n\r\nGET /echo?n=2 HTTP/1.1\r\nHost: h\r\n\r\n",
     ok("GET /echo\nn=1\n") + ok("GET /echo\nn=2\n"), true},
    {"no_content", "GET /empty HTTP/1.1\r\nHost: h\r\n\r\n", "HTTP/1.1 204 No Content\r\n\r\n",
     true},
    {"not_found", "GET /nothing HTTP/1.1\r\nHost: h\r\n\r\n",
     "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nnot found\n", true},
    {"handler_field_with_crlf", "GET /inject HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("500 Internal Server Error", "the response could not be sent", false), true},
    {"handler_throws", "GET /throw HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("500 Internal Server Error", "the request could not be served", false), true},
    {"handler_closes", "GET /close HTTP/1.1\r\nHost: h\r\n\r\n", ok("GET /close\n", "close"),
     false},
    {"no_host", "GET /echo HTTP/1.1\r\n\r\n",
     refusal("400 Bad Request", "a request needs one Host field"), false},
    {"two_hosts", kGet + "Host: i\r\n\r\n",
     refusal("400 Bad Request", "a request needs one Host field"), false},
    {"two_spaces", "GET  /echo HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("400 Bad Request", "malformed request line"), false},
    {"method_not_token", "G(T /echo HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("400 Bad Request", "malformed request line"), false},
    {"http2", "GET /echo HTTP/2.0\r\nHost: h\r\n\r\n",
     refusal("505 HTTP Version Not Supported", "only HTTP/1.1 and HTTP/1.0 are served"), false},
    {"absolute_form", "GET http://h/echo HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("400 Bad Request", "malformed request target"), false},
    {"bad_escape", "GET /echo%zz HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("400 Bad Request", "malformed request target"), false},
    {"escaped_nul", "GET /echo?a=%00 HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("400 Bad Request", "malformed request target"), false},
    {"folded_field", kGet + "X: a\r\n b\r\n\r\n",
     refusal("400 Bad Request", "folded header field (obsolete line folding)"), false},
    {"bare_cr", "GET /echo HTTP/1.1\r\nHost: h\rX: 1\r\n\r\n",
     refusal("400 Bad Request", "CR without LF"), false},
    {"space_before_colon", "GET /echo HTTP/1.1\r\nHost : h\r\n\r\n",
     refusal("400 Bad Request", "malformed header field"), false},
    {"nul_in_value", kGet + std::string("X: a\0b\r\n\r\n", 11),
     refusal("400 Bad Request", "malformed header field value"), false},
    {"length_not_decimal", kPost + "Content-Length: 4e9\r\n\r\n",
     refusal("400 Bad Request", "malformed Content-Length"), false},
    {"lengths_differ", kPost + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab",
     refusal("400 Bad Request", "conflicting Content-Length fields"), false},
    {"length_and_chunked", kPost + "Content-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n",
     refusal("400 Bad Request", "both Content-Length and Transfer-Encoding"), false},
    {"chunked_in_http10", "POST /echo HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n",
     refusal("400 Bad Request", "Transfer-Encoding in an HTTP/1.0 request"), false},
    {"gzip_coding", kPost + "Transfer-Encoding: gzip, chunked\r\n\r\n",
     refusal("501 Not Implemented", "only the chunked transfer coding is served"), false},
    {"huge_length", kPost + "Content-Length: 4000000000\r\n\r\n",
     refusal("413 Content Too Large", "request body too large"), false},
    {"length_over_limit", kPost + "Content-Length: 65\r\n\r\n",
     refusal("413 Content Too Large", "request body too large"), false},
    {"chunks_over_limit",
     kPost + "Transfer-Encoding: chunked\r\n\r\n40\r\n" + std::string(64, 'a') + "\r\n1\r\n",
     refusal("413 Content Too Large", "request body too large"), false},
    {"bad_chunk_size", kPost + "Transfer-Encoding: chunked\r\n\r\nzz\r\n",
     refusal("400 Bad Request", "malformed chunk size"), false},
    {"chunk_without_crlf", kPost + "Transfer-Encoding: chunked\r\n\r\n1\r\nab\r\n",
     refusal("400 Bad Request", "chunk not followed by CRLF"), false},
    {"unknown_expectation", kPost + "Expect: coffee\r\nContent-Length: 1\r\n\r\n",
     refusal("417 Expectation Failed", "only 100-continue can be expected"), false},
    {"long_request_line", "GET /" + std::string(1100, 'a') + " HTTP/1.1\r\nHost: h\r\n\r\n",
     refusal("414 URI Too Long", "request line too long"), false},
    {"head_too_large", kGet + "X: " + std::string(1000, 'a') + "\r\n\r\n",
     refusal("431 Request Header Fields Too Large", "request head too large"), false},
    {"too_many_fields",
     kGet + "A: 1\r\nB: 1\r\nC: 1\r\nD: 1\r\nE: 1\r\nF: 1\r\nG: 1\r\nH: 1\r\n\r\n",
     refusal("431 Request Header Fields Too Large", "too many header fields"), false},
};

class ExchangeTest : public testing::TestWithParam<Exchange> {
 protected:
  static void SetUpTestSuite() { server_ = new TestServer(kExchangeLimits); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static TestServer *server_;
};
TestServer *ExchangeTest::server_ = nullptr;

TEST_P(ExchangeTest, AnswersAsExpected) {
  const Exchange &exchange = GetParam();
  RawClient client(server_->port());
  ASSERT_TRUE(client.send(exchange.request + (exchange.kept ? kLast : "")));
  const std::string expected = exchange.answer + (exchange.kept ? kLastAnswer : "");
  EXPECT_EQ(withoutDates(client.untilClosed()), expected);
}

INSTANTIATE_TEST_SUITE_P(Requests, ExchangeTest, testing::ValuesIn(kExchanges),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qel::test
