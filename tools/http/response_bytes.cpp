// SPDX-License-Identifier: Apache-2.0
#include "tools/http/response_bytes.hpp"

#include <ctime>

#include "tools/http/syntax.hpp"

namespace qel::http {
namespace {

struct Reason {
  int status;
  std::string_view phrase;
};
constexpr Reason kReasons[] = {{200, "OK"},
                               {201, "Created"},
                               {202, "Accepted"},
                               {203, "Non-Authoritative Information"},
                               {204, "No Content"},
                               {205, "Reset Content"},
                               {206, "Partial Content"},
                               {300, "Multiple Choices"},
                               {301, "Moved Permanently"},
                               {302, "Found"},
                               {303, "See Other"},
                               {304, "Not Modified"},
                               {307, "Temporary Redirect"},
                               {308, "Permanent Redirect"},
                               {400, "Bad Request"},
                               {401, "Unauthorized"},
                               {403, "Forbidden"},
                               {404, "Not Found"},
                               {405, "Method Not Allowed"},
                               {406, "Not Acceptable"},
                               {408, "Request Timeout"},
                               {409, "Conflict"},
                               {410, "Gone"},
                               {411, "Length Required"},
                               {412, "Precondition Failed"},
                               {413, "Content Too Large"},
                               {414, "URI Too Long"},
                               {415, "Unsupported Media Type"},
                               {416, "Range Not Satisfiable"},
                               {417, "Expectation Failed"},
                               {421, "Misdirected Request"},
                               {422, "Unprocessable Content"},
                               {428, "Precondition Required"},
                               {429, "Too Many Requests"},
                               {431, "Request Header Fields Too Large"},
                               {500, "Internal Server Error"},
                               {501, "Not Implemented"},
                               {502, "Bad Gateway"},
                               {503, "Service Unavailable"},
                               {504, "Gateway Timeout"},
                               {505, "HTTP Version Not Supported"}};

// Fields only the server writes; a handler's copies are dropped.
constexpr std::string_view kServerFields[] = {"Content-Length", "Date", "Connection",
                                              "Transfer-Encoding", "Keep-Alive"};

bool serverField(std::string_view name) {
  for (const std::string_view field : kServerFields) {
    if (equalsIgnoringCase(name, field)) return true;
  }
  return false;
}

// The IMF-fixdate of now, made once a second per thread.
std::string_view httpDate() {
  thread_local std::time_t made = -1;
  thread_local char text[40];
  const std::time_t now = std::time(nullptr);
  if (now != made) {
    std::tm parts{};
    gmtime_r(&now, &parts);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    made = now;
  }
  return text;
}

bool wellFormed(const Response &response) {
  if (response.status < 200 || response.status > 599) return false;
  for (const auto &[name, value] : response.headers.fields()) {
    if (!isToken(name) || !isFieldValue(value)) return false;
  }
  return true;
}

// Whether the status carries no body, and no Content-Length either.
bool bodiless(int status) { return status == 204 || status == 304; }

void statusLine(std::string &out, int status) {
  out += "HTTP/1.1 ";
  out += std::to_string(status);
  out += ' ';
  out += reasonPhrase(status);
  out += "\r\n";
}

void closingFields(std::string &out, std::size_t length, int status, const Framing &framing) {
  if (!bodiless(status)) {
    out += "Content-Length: ";
    out += std::to_string(length);
    out += "\r\n";
  }
  out += "Date: ";
  out += httpDate();
  out += "\r\n";
  if (!framing.keepAlive) {
    out += "Connection: close\r\n";
  } else if (framing.http10) {
    out += "Connection: keep-alive\r\n";
  }
  out += "\r\n";
}

}  // namespace

std::string_view reasonPhrase(int status) {
  for (const Reason &reason : kReasons) {
    if (reason.status == status) return reason.phrase;
  }
  return "";
}

std::string responseBytes(const Response &response, Framing &framing) {
  if (!wellFormed(response)) {
    return refusalBytes(500, "the response could not be sent", framing);
  }
  if (const std::string *connection = response.headers.find("Connection")) {
    forEachListElement(*connection, [&](std::string_view token) {
      if (equalsIgnoringCase(token, "close")) framing.keepAlive = false;
    });
  }
  const bool withBody = !framing.head && !bodiless(response.status);
  std::string out;
  out.reserve(256 + (withBody ? response.body.size() : 0));
  statusLine(out, response.status);
  for (const auto &[name, value] : response.headers.fields()) {
    if (serverField(name)) continue;
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
  }
  closingFields(out, response.body.size(), response.status, framing);
  if (withBody) out += response.body;
  return out;
}

std::string refusalBytes(int status, std::string_view reason, const Framing &framing,
                         int retryAfterSeconds) {
  std::string out;
  statusLine(out, status);
  out += "Content-Type: text/plain; charset=utf-8\r\n";
  if (retryAfterSeconds > 0) {
    out += "Retry-After: ";
    out += std::to_string(retryAfterSeconds);
    out += "\r\n";
  }
  closingFields(out, reason.size() + 1, status, framing);
  if (!framing.head) {
    out += reason;
    out += '\n';
  }
  return out;
}

}  // namespace qel::http
