// SPDX-License-Identifier: Apache-2.0
// The exporter tests' HTTP client: a GET on loopback, with its status, body and time.
#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

namespace qel::test {

struct HttpReply {
  int status = 0;  // 0: no answer
  std::string body;
  double seconds = 0;
};

inline HttpReply get(int port, const std::string &path, const httplib::Headers &headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(std::chrono::seconds(60));
  const auto start = std::chrono::steady_clock::now();
  const auto result = client.Get(path.c_str(), headers);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result ? HttpReply{result->status, result->body, seconds} : HttpReply{0, "", seconds};
}

}  // namespace qel::test
