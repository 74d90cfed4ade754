// SPDX-License-Identifier: Apache-2.0
// Text reports of 1 KiB to 16 MiB from the scripted server (qel-simd's reports have the size
// its scenario gives them): the library's qelSysGetSensorValuesXML against the plain client,
// both handing the caller a heap text that the caller frees, on one connection each.
#include <cstdlib>
#include <string>

#include "qel.h"
#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

void serveReportOf(test::ScriptedServer &server, std::size_t bytes) {
  std::string text(bytes, 'x');
  rpc_StringAndEC reply{0, text.data()};
  server.answer(kSensorValuesXml, test::Reply::record(xdr_rpc_StringAndEC, reply));
}

bool libraryReports(long count) {
  return repeat(count, [] {
    char *report = nullptr;
    const bool ok = qelSysGetSensorValuesXML(&report) == RESULT_OK;
    free(report);
    return ok;
  });
}

}  // namespace

void reportRows(const Bench &bench) {
  printSection("Text reports (qelSysGetSensorValuesXML), throughput");
  const Server scripted = bench.servers().front();
  const std::pair<std::size_t, const char *> sizes[] = {
      {1 << 10, "1 KiB"}, {1 << 16, "64 KiB"}, {1 << 20, "1 MiB"}, {1 << 24, "16 MiB"}};
  for (const Placement &placement : placements()) {
    bench.place(placement);
    RawClient raw(scripted.program);
    if (!useLibraryWith(scripted.program) || !raw.ready()) continue;
    for (const auto &[bytes, name] : sizes) {
      serveReportOf(bench.scripted, bytes);
      const auto s =
          interleave({libraryReports,
                      [&raw](long n) { return repeat(n, [&raw] { return raw.report(true); }); }},
                     bench.plan);
      const auto mibPerS = [bytes = bytes](const Spread &ns) {
        return convert(ns, [bytes](double x) { return 1e9 * bytes / x / (1 << 20); });
      };
      const std::string size = name;
      printRow({"report " + size + ", library, MiB/s", placement.name, scripted.name},
               mibPerS(s[0]), 0);
      printRow({"report " + size + ", raw client + hold, MiB/s", placement.name, scripted.name},
               mibPerS(s[1]), 0);
      printRow({"  ratio library / raw (throughput)", placement.name, scripted.name},
               combine(s[1], s[0], ratio), 3, {Target::Kind::kAtLeast, 0.9});
    }
  }
}

}  // namespace qel::bench
