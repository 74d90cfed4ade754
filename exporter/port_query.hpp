// SPDX-License-Identifier: Apache-2.0
// The port mapper's GETPORT exchange (version 2, over TCP), written and read by the exporter
// itself: before the library creates a connection to a target, the exporter asks the target's
// port mapper where the program is, within the scrape's own deadline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

namespace qel::exporter {

// The call record, record mark included: where is `program` version `version` over TCP.
std::string getPortCall(uint32_t xid, uint32_t program, uint32_t version);

// How many bytes of a reply whose first `size` bytes are `data` are one whole record (every
// fragment), 0 while more must be read; nothing (-1) when the record marks are malformed or it
// would exceed kLongestReply.
inline constexpr std::size_t kLongestReply = 1024;
long replyRecordSize(const unsigned char *data, std::size_t size);

// What a whole reply record (record marks included) says: the port (0 when the program is not
// registered), or why it is no answer to call `xid`.
std::variant<uint16_t, std::string> getPortReply(const unsigned char *data, std::size_t size,
                                                 uint32_t xid);

}  // namespace qel::exporter
