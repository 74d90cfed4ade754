// SPDX-License-Identifier: Apache-2.0
// The path of a request to qel-redfishd, as the HTTP server hands it over (percent-decoded),
// routed to its resource. A route found has the path as its pattern with the ids in place of
// its {} segments, and each id is one segment of at most 255 characters and no control
// character; the Allow field of a route names GET whenever it names HEAD.
#include <cstdlib>
#include <string>

#include "redfish/http/routes.hpp"

using namespace qel::redfish;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string path(reinterpret_cast<const char *>(data), size);
  std::vector<std::string> ids;
  const Route *route = findRoute(path, ids);
  if (route == nullptr) {
    if (!ids.empty()) std::abort();
    return 0;
  }
  std::string rebuilt;
  std::size_t next = 0;
  for (std::size_t at = 0; at < route->pattern.size(); ++at) {
    if (route->pattern.substr(at, 2) == "{}") {
      const std::string &id = ids.at(next++);
      if (id.empty() || id.size() > 255 || id.find('/') != std::string::npos) std::abort();
      for (unsigned char c : id) {
        if (c < 0x20 || c == 0x7F) std::abort();
      }
      rebuilt += id;
      ++at;
    } else {
      rebuilt += route->pattern[at];
    }
  }
  const std::string trimmed =
      path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
  if (next != ids.size() || rebuilt != trimmed) std::abort();
  const std::string allow = allowedMethods(*route);
  if ((allow.find("HEAD") == std::string::npos) != (allow.find("GET") == std::string::npos)) {
    std::abort();
  }
  return 0;
}
