// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as what clients send on one connection, read by the server's request parser
// twice: in one piece, and in small pieces whose sizes the bytes choose (as TCP may split
// them). Both readings must come to the same requests and the same refusal: the parser cannot
// depend on how the bytes arrive. Every request taken keeps the limits and holds only what the
// parser promises (token method and names, fields free of CR, LF and NUL, a decoded path with
// no NUL), and its fields, echoed into a response with the last bytes as one more value, never
// break the response's head.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/http/request_parser.hpp"
#include "tools/http/response_bytes.hpp"
#include "tools/http/syntax.hpp"

namespace {

using namespace qel::http;

Limits fuzzLimits() {
  Limits limits;
  limits.maxHeadBytes = 512;
  limits.maxHeaderCount = 8;
  limits.maxBodyBytes = 256;
  return limits;
}

void check(bool holds) {
  if (!holds) std::abort();
}

void checkRequest(const Request &request, const Limits &limits) {
  check(isToken(request.method));
  check(request.target.starts_with('/') && request.path.starts_with('/'));
  check(request.path.find('\0') == std::string::npos);
  for (const auto &[name, value] : request.parameters) {
    check(name.find('\0') == std::string::npos && value.find('\0') == std::string::npos);
  }
  check(request.headers.fields().size() <= limits.maxHeaderCount);
  check(request.body.size() <= limits.maxBodyBytes);
  for (const auto &[name, value] : request.headers.fields()) {
    check(isToken(name) && isFieldValue(value));
  }
  basicCredentials(request);
}

// A response echoing the request's fields and `extra` as one more value: each field is a line
// of its own or the response is the server's 500; either way no CR or LF but the line ends.
void checkEcho(const Request &request, std::string_view extra) {
  Response response;
  for (const auto &[name, value] : request.headers.fields()) response.headers.add(name, value);
  response.headers.add("X-Extra", std::string(extra));
  Framing framing{request.method == "HEAD", true, false};
  const std::string bytes = responseBytes(response, framing);
  const auto end = bytes.find("\r\n\r\n");
  check(end != std::string::npos);
  const std::string_view head(bytes.data(), end + 2);
  for (std::size_t at = head.find_first_of("\r\n"); at != std::string_view::npos;
       at = head.find_first_of("\r\n", at + 2)) {
    check(head.compare(at, 2, "\r\n") == 0);
  }
}

// What the parser made of `input` fed in pieces of the sizes `pieces` gives in turn (all of it
// at once when empty): one line per request or refusal.
std::vector<std::string> readAll(std::string_view input, std::string_view pieces,
                                 const Limits &limits, std::string_view extra) {
  RequestParser parser(limits);
  std::vector<std::string> outcomes;
  std::size_t turn = 0;
  while (!input.empty()) {
    const std::size_t size =
        pieces.empty() ? input.size()
                       : 1 + static_cast<unsigned char>(pieces[turn++ % pieces.size()]) % 16;
    std::string_view piece = input.substr(0, size);
    while (!piece.empty()) {
      const std::size_t used = parser.consume(piece);
      check(used <= piece.size());
      piece.remove_prefix(used);
      input.remove_prefix(used);
      if (const auto &refusal = parser.refusal()) {
        check(refusal->status >= 400 && refusal->status <= 505 && !parser.keepAlive());
        outcomes.push_back(std::to_string(refusal->status) + " " + refusal->reason);
        return outcomes;
      }
      if (parser.complete()) {
        Request &request = parser.request();
        checkRequest(request, limits);
        checkEcho(request, extra);
        std::string outcome = request.method + " " + request.target + " " + request.body;
        for (const auto &[name, value] : request.headers.fields()) outcome += name + ":" + value;
        outcomes.push_back(outcome + (parser.keepAlive() ? " keep" : " close"));
        parser.reset();
      } else {
        check(used > 0 || piece.empty());
      }
    }
  }
  outcomes.push_back(parser.started() ? "unfinished" : "idle");
  return outcomes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const Limits limits = fuzzLimits();
  // The piece sizes come from the last bytes, as does the echoed value.
  const std::string_view tail = input.substr(size - std::min<std::size_t>(size, 8));
  check(readAll(input, {}, limits, tail) ==
        readAll(input, tail.empty() ? "\1" : tail, limits, tail));
  return 0;
}
