// SPDX-License-Identifier: Apache-2.0
// The bytes of responses: a handler's, with the fields the server owns (Content-Length, Date,
// Connection) set by the server and no field that could break the message; and the server's
// own short plain-text answers.
#pragma once

#include <string>
#include <string_view>

#include "tools/http/server.hpp"

namespace qel::http {

// How a response goes out.
struct Framing {
  bool head = false;       // the request was HEAD: the body is left out, its length kept
  bool keepAlive = false;  // false: "Connection: close"
  bool http10 = false;     // an HTTP/1.0 client kept alive is told "Connection: keep-alive"
};

// The reason phrase of `status` ("" for a status without a common one).
std::string_view reasonPhrase(int status);

// The response's bytes. A status outside 200-599, or a field name that is not a token or a
// value with a CR, LF or other control character, turns it into a 500 of the server's own.
// Sets `keepAlive` false when the handler asked for "Connection: close".
std::string responseBytes(const Response &response, Framing &framing);

// The server's own answer: `status`, a "text/plain" body of `reason` and a newline; with
// "Retry-After" when `retryAfterSeconds` is above 0.
std::string refusalBytes(int status, std::string_view reason, const Framing &framing,
                         int retryAfterSeconds = 0);

}  // namespace qel::http
