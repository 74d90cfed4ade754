// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes through one reply codec (chosen at build time), decoded on a stream that
// grants inline blocks and on one that refuses them, then freed. Both paths must give the same
// verdict and, when they decode, records that encode to the same bytes; and what a record
// encodes to must decode back to itself.
#include <cstdlib>

#include "lib/protocol/xdr_codec.hpp"
#include "xdr_bytes.hpp"

namespace {

using qel::test::Bytes;
using qel::test::Inline;
using Record = QEL_FUZZ_RECORD;

Bytes reencode(const Record &record) {
  bool ok = false;
  Bytes bytes = qel::test::encode(QEL_FUZZ_CODEC, record, Inline::kGranted, &ok);
  if (!ok) std::abort();  // anything the codec decoded, it can send again
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Bytes bytes(data, data + size);
  const auto granted = qel::test::decode(QEL_FUZZ_CODEC, bytes, Inline::kGranted);
  const auto refused = qel::test::decode(QEL_FUZZ_CODEC, bytes, Inline::kRefused);
  if (granted.ok != refused.ok) std::abort();
  if (!granted.ok) return 0;

  const Bytes sent = reencode(granted.value);
  if (reencode(refused.value) != sent) std::abort();
  const auto again = qel::test::decode(QEL_FUZZ_CODEC, sent, Inline::kGranted);
  if (!again.ok || reencode(again.value) != sent) std::abort();
  return 0;
}
