// SPDX-License-Identifier: Apache-2.0
// The port mapper's GETPORT exchange as the exporter writes and reads it, byte for byte.
#include "exporter/port_query.hpp"

#include <gtest/gtest.h>

namespace qel::exporter {
namespace {

using Bytes = std::vector<unsigned char>;

TEST(ExporterPortQuery, CallBytes) {
  const std::string call = getPortCall(0x01020304, 0x40000001, 1);
  const Bytes expected{0x80, 0, 0,    56,   1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 2,  // xid, call, v2
                       0,    1, 0x86, 0xA0, 0, 0, 0, 2, 0, 0, 0, 3,  // 100000 v2 GETPORT
                       0,    0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // no credentials
                       0x40, 0, 0,    1,    0, 0, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0};  // program, 1, TCP
  EXPECT_EQ(Bytes(call.begin(), call.end()), expected);
}

TEST(ExporterPortQuery, Replies) {
  // xid 7, reply, accepted, no verifier, success, then the port.
  const Bytes kHead{0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  auto record = [](Bytes body) {
    Bytes bytes{0x80, 0, 0, static_cast<unsigned char>(body.size())};
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
  };
  auto with = [&](Bytes tail) {
    Bytes body = kHead;
    body.insert(body.end(), tail.begin(), tail.end());
    return body;
  };
  // The reply of the first case in two fragments, the first without the last-fragment bit.
  const Bytes twoFragments{0, 0, 0, 10, 0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0x80, 0, 0,    18,
                           0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0, 0x9C, 0x40};
  const std::pair<Bytes, std::variant<uint16_t, std::string>> kReplies[] = {
      {record(with({0, 0, 0x9C, 0x40})), uint16_t{40000}},
      {record(with({0, 0, 0, 0})), uint16_t{0}},
      {twoFragments, uint16_t{40000}},
      {record(with({0, 1, 0, 0})), std::string("the port mapper's reply is malformed")},
      {record({0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0}),
       std::string("the port mapper's reply is malformed")},
      {record({0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0}),
       std::string("the port mapper refused the query")},
      {record({0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}),
       std::string("the port mapper could not answer the query")},
      {record({0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xF0}),
       std::string("the port mapper's reply is malformed")},
  };
  for (const auto &[bytes, expected] : kReplies) {
    EXPECT_EQ(getPortReply(bytes.data(), bytes.size(), 7), expected);
  }
  EXPECT_EQ(replyRecordSize(kHead.data(), 3), 0);
  const Bytes huge{0x80, 0, 0x04, 0x01};
  EXPECT_EQ(replyRecordSize(huge.data(), huge.size()), -1);
}

}  // namespace
}  // namespace qel::exporter
