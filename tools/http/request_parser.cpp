// SPDX-License-Identifier: Apache-2.0
#include "tools/http/request_parser.hpp"

#include <algorithm>
#include <limits>

#include "tools/http/request_target.hpp"
#include "tools/http/syntax.hpp"

namespace qel::http {
namespace {

// A chunk's size line: a few hex digits and rare extensions.
constexpr std::size_t kMaxChunkLine = 1024;
constexpr std::uint64_t kHuge = std::numeric_limits<std::uint64_t>::max();

// `digits` in `base`, kHuge when it does not fit; nothing when it is empty or holds anything
// but digits.
std::optional<std::uint64_t> number(std::string_view digits, unsigned base) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = hexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    value = value > (kHuge - static_cast<unsigned>(digit)) / base
                ? kHuge
                : value * base + static_cast<unsigned>(digit);
  }
  return value;
}

// What the framing fields of a head say.
struct HeadFacts {
  std::size_t hosts = 0;
  bool lengthMalformed = false;
  std::optional<std::uint64_t> length;
  bool lengthsDiffer = false;
  bool transferEncoding = false;
  std::size_t chunked = 0;
  bool otherCoding = false;
  bool close = false;
  bool keepAlive = false;
  bool expect = false;
  bool expectContinue = false;

  void read(std::string_view name, std::string_view value) {
    if (equalsIgnoringCase(name, "host")) {
      ++hosts;
    } else if (equalsIgnoringCase(name, "content-length")) {
      bool any = false;
      forEachListElement(value, [&](std::string_view element) {
        any = true;
        const auto parsed = number(element, 10);
        if (!parsed) {
          lengthMalformed = true;
        } else if (length && *length != *parsed) {
          lengthsDiffer = true;
        } else {
          length = parsed;
        }
      });
      if (!any) lengthMalformed = true;
    } else if (equalsIgnoringCase(name, "transfer-encoding")) {
      transferEncoding = true;
      forEachListElement(value, [&](std::string_view element) {
        if (equalsIgnoringCase(element, "chunked")) {
          ++chunked;
        } else {
          otherCoding = true;
        }
      });
    } else if (equalsIgnoringCase(name, "connection")) {
      forEachListElement(value, [&](std::string_view element) {
        close = close || equalsIgnoringCase(element, "close");
        keepAlive = keepAlive || equalsIgnoringCase(element, "keep-alive");
      });
    } else if (equalsIgnoringCase(name, "expect")) {
      expect = true;
      expectContinue = equalsIgnoringCase(trimmed(value), "100-continue");
    }
  }
};

}  // namespace

RequestParser::RequestParser(const Limits &limits)
    : maxHeadBytes_(limits.maxHeadBytes),
      maxHeaderCount_(limits.maxHeaderCount),
      maxBodyBytes_(limits.maxBodyBytes) {}

std::size_t RequestParser::consume(std::string_view input) {
  std::size_t used = 0;
  while (used < input.size() && state_ != State::kComplete && state_ != State::kRefused) {
    started_ = true;
    const std::string_view rest = input.substr(used);
    const State before = state_;
    const bool body = before == State::kBody || before == State::kChunkData;
    const std::size_t taken = body ? takeBody(rest) : takeLine(rest);
    if (before != State::kHead) bodyBytes_ += taken;
    used += taken;
  }
  return used;
}

bool RequestParser::awaitsContinue() const {
  return expectsContinue_ && bodyBytes_ == 0 &&
         (state_ == State::kBody || state_ == State::kChunkSize);
}

void RequestParser::reset() {
  state_ = State::kHead;
  started_ = haveRequestLine_ = http10_ = expectsContinue_ = false;
  keepAlive_ = true;
  line_.clear();
  headBytes_ = fields_ = 0;
  remaining_ = bodyBytes_ = 0;
  request_ = Request{};
  refusal_.reset();
}

std::size_t RequestParser::takeLine(std::string_view input) {
  const auto end = input.find('\n');
  const std::size_t take = end == std::string_view::npos ? input.size() : end + 1;
  const bool head = state_ == State::kHead || state_ == State::kTrailer;
  const std::size_t room = head ? maxHeadBytes_ - headBytes_ : kMaxChunkLine;
  if (line_.size() + take > room) {
    if (!head) {
      refuse(400, "chunk size line too long");
    } else if (state_ == State::kHead && !haveRequestLine_) {
      refuse(414, "request line too long");
    } else {
      refuse(431, state_ == State::kHead ? "request head too large" : "request trailer too large");
    }
    return take;
  }
  line_.append(input.substr(0, take));
  if (end == std::string_view::npos) return take;
  if (head) headBytes_ += line_.size();
  std::string_view line(line_);
  line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find('\r') != std::string_view::npos) {
    refuse(400, "CR without LF");
  } else {
    onLine(line);
  }
  line_.clear();
  return take;
}

std::size_t RequestParser::takeBody(std::string_view input) {
  const std::size_t take =
      static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, input.size()));
  request_.body.append(input.substr(0, take));
  remaining_ -= take;
  if (remaining_ == 0) state_ = state_ == State::kBody ? State::kComplete : State::kChunkEnd;
  return take;
}

void RequestParser::onLine(std::string_view line) {
  switch (state_) {
    case State::kHead:
      if (!haveRequestLine_) {
        // Empty lines before a request are tolerated, as clients may send one after a body.
        if (!line.empty()) onRequestLine(line);
      } else if (line.empty()) {
        finishHead();
      } else {
        onField(line, true);
      }
      break;
    case State::kTrailer:
      if (line.empty()) {
        state_ = State::kComplete;
      } else {
        onField(line, false);
      }
      break;
    case State::kChunkSize:
      onChunkSize(line);
      break;
    case State::kChunkEnd:
      if (line.empty()) {
        state_ = State::kChunkSize;
      } else {
        refuse(400, "chunk not followed by CRLF");
      }
      break;
    default:
      break;
  }
}

void RequestParser::onRequestLine(std::string_view line) {
  haveRequestLine_ = true;
  const auto first = line.find(' ');
  const auto second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
    return refuse(400, "malformed request line");
  }
  const std::string_view method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  const std::string_view version = line.substr(second + 1);
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!isToken(method) || version.size() != 8 || version.substr(0, 5) != "HTTP/" ||
      !digit(version[5]) || version[6] != '.' || !digit(version[7])) {
    return refuse(400, "malformed request line");
  }
  if (version[5] != '1') return refuse(505, "only HTTP/1.1 and HTTP/1.0 are served");
  http10_ = version[7] == '0';
  request_.method = method;
  request_.target = target;
  if (!splitTarget(target, request_.path, request_.parameters)) {
    refuse(400, "malformed request target");
  }
}

void RequestParser::onField(std::string_view line, bool keep) {
  if (line.front() == ' ' || line.front() == '\t') {
    return refuse(400, "folded header field (obsolete line folding)");
  }
  if (fields_ == maxHeaderCount_) {
    return refuse(431, keep ? "too many header fields" : "too many trailer fields");
  }
  ++fields_;
  const auto colon = line.find(':');
  if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
    return refuse(400, "malformed header field");
  }
  const std::string_view value = trimmed(line.substr(colon + 1));
  if (!isFieldValue(value)) return refuse(400, "malformed header field value");
  if (keep) request_.headers.add(std::string(line.substr(0, colon)), std::string(value));
}

void RequestParser::finishHead() {
  HeadFacts framing;
  for (const auto &[name, value] : request_.headers.fields()) framing.read(name, value);
  if (framing.hosts > 1 || (!http10_ && framing.hosts == 0)) {
    return refuse(400, "a request needs one Host field");
  }
  if (framing.transferEncoding) {
    if (http10_) return refuse(400, "Transfer-Encoding in an HTTP/1.0 request");
    if (framing.length || framing.lengthMalformed) {
      return refuse(400, "both Content-Length and Transfer-Encoding");
    }
    if (framing.otherCoding) return refuse(501, "only the chunked transfer coding is served");
    if (framing.chunked != 1) return refuse(400, "malformed Transfer-Encoding");
  }
  if (framing.lengthMalformed) return refuse(400, "malformed Content-Length");
  if (framing.lengthsDiffer) return refuse(400, "conflicting Content-Length fields");
  const std::uint64_t length = framing.length.value_or(0);
  if (length > maxBodyBytes_) return refuse(413, "request body too large");
  if (framing.expect && !framing.expectContinue) {
    return refuse(417, "only 100-continue can be expected");
  }
  keepAlive_ = http10_ ? framing.keepAlive && !framing.close : !framing.close;
  expectsContinue_ = framing.expectContinue && !http10_;
  startBody(length, framing.transferEncoding);
}

void RequestParser::startBody(std::uint64_t length, bool chunked) {
  remaining_ = length;
  state_ = chunked ? State::kChunkSize : length > 0 ? State::kBody : State::kComplete;
}

void RequestParser::onChunkSize(std::string_view line) {
  const auto digits = std::min(line.find_first_not_of("0123456789abcdefABCDEF"), line.size());
  const std::string_view rest = trimmed(line.substr(digits));
  const auto size = number(line.substr(0, digits), 16);
  if (!size || (!rest.empty() && (rest.front() != ';' || !isFieldValue(rest)))) {
    return refuse(400, "malformed chunk size");
  }
  if (*size > maxBodyBytes_ - request_.body.size()) return refuse(413, "request body too large");
  remaining_ = *size;
  state_ = *size == 0 ? State::kTrailer : State::kChunkData;
}

void RequestParser::refuse(int status, std::string reason) {
  state_ = State::kRefused;
  keepAlive_ = false;
  refusal_ = Refusal{status, std::move(reason)};
}

}  // namespace qel::http
