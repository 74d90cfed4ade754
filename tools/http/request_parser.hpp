// SPDX-License-Identifier: Apache-2.0
// Reads the requests of one connection from its bytes, one request at a time and within the
// limits. It holds no socket: the event loop hands it what it read, the tests and the fuzzer
// hand it bytes alone. Lines end in CRLF (a lone LF is taken too, a lone CR never); a request
// it cannot take ends in a refusal: the status the server answers with, after which the
// connection is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/http/server.hpp"

namespace qel::http {

// A status the server answers by itself, and the line its body says.
struct Refusal {
  int status = 0;
  std::string reason;
};

class RequestParser {
 public:
  explicit RequestParser(const Limits &limits);

  // Takes bytes from the front of `input` and says how many it took: all of them, unless the
  // request ended (complete or refused) before them. What is left belongs to the next request.
  std::size_t consume(std::string_view input);

  // Some byte of this request has come (its deadline runs).
  bool started() const { return started_; }
  bool complete() const { return state_ == State::kComplete; }
  // The refusal, once the request is refused.
  const std::optional<Refusal> &refusal() const { return refusal_; }
  // The head asked for "100-continue" and no byte of the body has come yet.
  bool awaitsContinue() const;
  // Whether the connection may carry another request after this one (HTTP/1.1 unless it says
  // "Connection: close"; HTTP/1.0 only with "Connection: keep-alive").
  bool keepAlive() const { return keepAlive_; }
  bool http10() const { return http10_; }
  // The request once complete; method, target, path, parameters, headers and body are set.
  Request &request() { return request_; }
  // Ready for the next request on the same connection.
  void reset();

 private:
  enum class State {
    kHead,
    kBody,
    kChunkSize,
    kChunkData,
    kChunkEnd,
    kTrailer,
    kComplete,
    kRefused
  };

  std::size_t takeLine(std::string_view input);
  std::size_t takeBody(std::string_view input);
  void onLine(std::string_view line);
  void onRequestLine(std::string_view line);
  void onField(std::string_view line, bool keep);
  void onChunkSize(std::string_view line);
  void finishHead();
  void startBody(std::uint64_t length, bool chunked);
  void refuse(int status, std::string reason);

  const std::size_t maxHeadBytes_, maxHeaderCount_, maxBodyBytes_;
  State state_ = State::kHead;
  bool started_ = false;
  bool haveRequestLine_ = false;
  bool http10_ = false;
  bool keepAlive_ = true;
  bool expectsContinue_ = false;
  std::string line_;             // the line coming in, until its LF
  std::size_t headBytes_ = 0;    // of the head (and the trailer) so far
  std::size_t fields_ = 0;       // header (and trailer) fields so far
  std::uint64_t remaining_ = 0;  // of the body or of the chunk being read
  std::uint64_t bodyBytes_ = 0;  // bytes after the head, chunk framing included
  Request request_;
  std::optional<Refusal> refusal_;
};

}  // namespace qel::http
