// SPDX-License-Identifier: Apache-2.0
#include "exporter/port_query.hpp"

#include <optional>

namespace qel::exporter {
namespace {

constexpr uint32_t kPortMapper = 100000, kPortMapperVersion = 2, kGetPort = 3;
constexpr uint32_t kCall = 0, kReply = 1, kAccepted = 0, kSuccess = 0, kTcp = 6;
constexpr uint32_t kLastFragment = 0x80000000u;

void putWord(std::string &out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((word >> shift) & 0xFF);
}

uint32_t wordAt(const unsigned char *data) {
  return static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
         static_cast<uint32_t>(data[2]) << 8 | data[3];
}

// The reply's words, read in turn; nothing once they run out.
class Words {
 public:
  explicit Words(std::string body) : body_(std::move(body)) {}
  std::optional<uint32_t> next() {
    if (body_.size() - at_ < 4) return std::nullopt;
    at_ += 4;
    return wordAt(reinterpret_cast<const unsigned char *>(body_.data()) + at_ - 4);
  }
  bool skip(uint32_t bytes) {
    const uint64_t padded = (static_cast<uint64_t>(bytes) + 3) / 4 * 4;
    if (body_.size() - at_ < padded) return false;
    at_ += static_cast<std::size_t>(padded);
    return true;
  }

 private:
  std::string body_;
  std::size_t at_ = 0;
};

}  // namespace

std::string getPortCall(uint32_t xid, uint32_t program, uint32_t version) {
  std::string body;
  for (uint32_t word : {xid, kCall, 2u, kPortMapper, kPortMapperVersion, kGetPort, 0u, 0u, 0u, 0u,
                        program, version, kTcp, 0u}) {
    putWord(body, word);
  }
  std::string record;
  putWord(record, kLastFragment | static_cast<uint32_t>(body.size()));
  return record + body;
}

long replyRecordSize(const unsigned char *data, std::size_t size) {
  std::size_t at = 0;
  for (;;) {
    if (size - at < 4) return 0;
    const uint32_t mark = wordAt(data + at);
    const std::size_t end = at + 4 + (mark & ~kLastFragment);
    if (end > kLongestReply) return -1;
    if (size < end) return 0;
    if (mark & kLastFragment) return static_cast<long>(end);
    at = end;
  }
}

std::variant<uint16_t, std::string> getPortReply(const unsigned char *data, std::size_t size,
                                                 uint32_t xid) {
  const long whole = replyRecordSize(data, size);
  if (whole <= 0) return std::string("the port mapper's reply is malformed");
  std::string body;
  for (std::size_t at = 0; at < static_cast<std::size_t>(whole);) {
    const std::size_t length = wordAt(data + at) & ~kLastFragment;
    body.append(reinterpret_cast<const char *>(data) + at + 4, length);
    at += 4 + length;
  }
  Words words(std::move(body));
  const auto id = words.next(), type = words.next(), status = words.next();
  if (!status || *id != xid || *type != kReply) {
    return std::string("the port mapper's reply is malformed");
  }
  if (*status != kAccepted) return std::string("the port mapper refused the query");
  words.next();  // the verifier's flavour
  const auto length = words.next();
  if (!length || !words.skip(*length)) return std::string("the port mapper's reply is malformed");
  const auto accepted = words.next(), port = words.next();
  if (!accepted) return std::string("the port mapper's reply is malformed");
  if (*accepted != kSuccess) return std::string("the port mapper could not answer the query");
  if (!port || *port > 0xFFFF) return std::string("the port mapper's reply is malformed");
  return static_cast<uint16_t>(*port);
}

}  // namespace qel::exporter
