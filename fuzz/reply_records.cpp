// SPDX-License-Identifier: Apache-2.0
#include "reply_records.hpp"

namespace qel::fuzz {
namespace {

uint32_t wordAt(const uint8_t *at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The results of `record` when it accepts `xid` with success; false otherwise.
bool accepted(const test::Bytes &record, uint32_t xid, test::Bytes &results) {
  const uint8_t *r = record.data();
  const std::size_t n = record.size();
  if (n < 20 || wordAt(r) != xid || wordAt(r + 4) != 1 || wordAt(r + 8) != 0) return false;
  const uint32_t verifier = wordAt(r + 16);
  if (verifier > 400) return false;
  const std::size_t status = 20 + (verifier + 3) / 4 * 4;
  if (n < status + 4 || wordAt(r + status) != 0) return false;
  results.assign(record.begin() + static_cast<std::ptrdiff_t>(status + 4), record.end());
  return true;
}

}  // namespace

std::vector<test::Bytes> acceptedResults(const uint8_t *stream, std::size_t size, uint32_t xid) {
  std::vector<test::Bytes> found;
  test::Bytes record, results;
  for (std::size_t at = 0; size - at >= 4;) {
    const uint32_t mark = wordAt(stream + at);
    const std::size_t length = mark & 0x7fffffffu;
    at += 4;
    if (size - at < length) break;  // cut short: never complete
    record.insert(record.end(), stream + at, stream + at + length);
    at += length;
    if ((mark & 0x80000000u) == 0) continue;
    if (accepted(record, xid, results)) found.push_back(results);
    record.clear();
  }
  return found;
}

}  // namespace qel::fuzz
