// SPDX-License-Identifier: Apache-2.0
// What a stream of reply records holds, read without the RPC layer: the fuzz targets' judge of
// whether a call could have been answered at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "xdr_bytes.hpp"

namespace qel::fuzz {

// The results of every complete record in `stream` (record-marked as on a TCP connection) that
// accepts call `xid` with success: transaction id, REPLY, MSG_ACCEPTED, a verifier of at most
// 400 bytes, SUCCESS, then the results. A fragment header of 0 counts as a fragment of no bytes.
std::vector<test::Bytes> acceptedResults(const uint8_t *stream, std::size_t size, uint32_t xid);

}  // namespace qel::fuzz
