// SPDX-License-Identifier: Apache-2.0
// Heap allocations per small call on the calling thread, the library's and the plain client's,
// and the peak of live heap bytes of one 16 MiB report relative to its size.
#include <cstdlib>
#include <string>

#include "heap_counter.hpp"
#include "qel.h"
#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

constexpr long kCalls = 1000;

template <typename Call>
double allocationsPerCall(Call call) {
  armHeapCounter();
  const bool ok = repeat(kCalls, call);
  const HeapUse use = disarmHeapCounter();
  return ok ? static_cast<double>(use.allocations) / kCalls : -1;
}

}  // namespace

void heapRows(const Bench &bench) {
  printSection("Heap");
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  const Server scripted = bench.servers().front();
  RawClient raw(scripted.program);
  if (!useLibraryWith(scripted.program) || !raw.ready()) return;
  printCount({"allocations per small call, library", oneCore.name, scripted.name},
             allocationsPerCall([] { return librarySmallCalls(1); }), 2);
  printCount({"allocations per small call, raw client", oneCore.name, scripted.name},
             allocationsPerCall([&raw] { return raw.smallCall(true); }), 2);
  constexpr std::size_t kSize = std::size_t{16} << 20;
  std::string text(kSize, 'x');
  rpc_StringAndEC reply{0, text.data()};
  bench.scripted.answer(kSensorValuesXml, test::Reply::record(xdr_rpc_StringAndEC, reply));
  armHeapCounter();
  char *report = nullptr;
  const bool ok = qelSysGetSensorValuesXML(&report) == RESULT_OK;
  free(report);
  const double peak = static_cast<double>(disarmHeapCounter().peakBytes) / kSize;
  printCount({"peak heap of a 16 MiB report / its size", oneCore.name, scripted.name},
             ok ? peak : -1, 2, {Target::Kind::kAtMost, 3});
}

}  // namespace qel::bench
