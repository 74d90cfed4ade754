// SPDX-License-Identifier: Apache-2.0
// What a target's port mapper sends back to the exporter's GETPORT query: the record marks give
// a whole record, "more" or "malformed" within the bound; a whole record gives a port or a
// reason.
#include <cstdlib>
#include <string>
#include <variant>

#include "exporter/port_query.hpp"

using namespace qel::exporter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const long whole = replyRecordSize(data, size);
  if (whole > static_cast<long>(kLongestReply) || whole > static_cast<long>(size)) std::abort();
  const auto reply = getPortReply(data, size, 7);
  if (const auto *reason = std::get_if<std::string>(&reply)) {
    if (reason->empty()) std::abort();
  } else if (whole <= 0) {
    std::abort();
  }
  return 0;
}
