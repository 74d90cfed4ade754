// SPDX-License-Identifier: Apache-2.0
#include "heap_counter.hpp"

#include <malloc.h>

#include <atomic>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void __libc_free(void *pointer);
}

namespace {

// Only the arming thread counts: the server threads of the benchmark allocate too.
thread_local bool armed = false;
std::atomic<std::size_t> allocations{0};
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

void counted(void *pointer) {
  if (pointer == nullptr || !armed) return;
  allocations.fetch_add(1, std::memory_order_relaxed);
  const long long now = liveBytes.fetch_add(static_cast<long long>(malloc_usable_size(pointer))) +
                        static_cast<long long>(malloc_usable_size(pointer));
  long long peak = peakBytes.load(std::memory_order_relaxed);
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

void released(void *pointer) {
  if (pointer == nullptr || !armed) return;
  liveBytes.fetch_sub(static_cast<long long>(malloc_usable_size(pointer)));
}

}  // namespace

extern "C" {

void *malloc(size_t size) {
  void *p = __libc_malloc(size);
  counted(p);
  return p;
}

void *calloc(size_t count, size_t size) {
  void *p = __libc_calloc(count, size);
  counted(p);
  return p;
}

void *realloc(void *pointer, size_t size) {
  released(pointer);
  void *p = __libc_realloc(pointer, size);
  counted(p);
  return p;
}

void free(void *pointer) {
  released(pointer);
  __libc_free(pointer);
}

}  // extern "C"

namespace qel::bench {

void armHeapCounter() {
  allocations = 0;
  liveBytes = 0;
  peakBytes = 0;
  armed = true;
}

HeapUse disarmHeapCounter() {
  armed = false;
  return {allocations.load(),
          static_cast<std::size_t>(peakBytes.load() > 0 ? peakBytes.load() : 0)};
}

}  // namespace qel::bench
