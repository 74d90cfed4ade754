// SPDX-License-Identifier: Apache-2.0
// Counts heap allocations and the peak of live heap bytes while armed. The bench binary stands
// in for the C library's allocator entry points and forwards to it.
#pragma once

#include <cstddef>

namespace qel::bench {

struct HeapUse {
  std::size_t allocations = 0;
  std::size_t peakBytes = 0;  // above the live bytes at arming
};

void armHeapCounter();
HeapUse disarmHeapCounter();

}  // namespace qel::bench
