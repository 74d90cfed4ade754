// SPDX-License-Identifier: Apache-2.0
// qel_bench: prints the table of docs/performance.md.
//   qel_bench [--quick] [SECTION...]   sections: small sigpipe reports scale codecs heap connect
//                                      exporter http redfish
//   qel_bench --only library|raw|raw-held|floor COUNT   (for counting system calls)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace {

using namespace qel::bench;

struct Section {
  const char *name;
  void (*run)(const Bench &);
};
// In the order of the table.
constexpr Section kSections[] = {{"small", smallCallRows}, {"sigpipe", sigpipeRows},
                                 {"reports", reportRows},  {"scale", scaleRows},
                                 {"codecs", codecRows},    {"heap", heapRows},
                                 {"connect", connectRows}, {"exporter", exporterRows},
                                 {"http", httpRows},       {"redfish", redfishRows}};

bool isSection(const std::string &name) {
  for (const Section &section : kSections) {
    if (name == section.name) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  RoundPlan plan{4, std::chrono::milliseconds(60)};
  int passes = 3;
  std::set<std::string> chosen;
  std::string only;
  long onlyCount = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--only") == 0 && i + 2 < argc) {
      only = argv[++i];
      onlyCount = std::atol(argv[++i]);
      continue;
    }
    if (std::strcmp(argv[i], "--quick") == 0) {
      plan = {5, std::chrono::milliseconds(10)};
      passes = 1;
    } else if (isSection(argv[i])) {
      chosen.insert(argv[i]);
    } else {
      std::fprintf(stderr,
                   "usage: qel_bench [--quick] "
                   "[small|sigpipe|reports|scale|codecs|heap|connect|exporter|http|redfish]...\n"
                   "       qel_bench --only library|raw|raw-held|floor COUNT\n");
      return 64;
    }
  }
  qel::test::ScriptedServer scripted;
  scripted.keepLog(false);
  scripted.answer(kPlatformGetState, qel::test::Reply::integer(3));
  Simulator simulator;
  if (!simulator.running()) {
    std::fprintf(stderr, "qel_bench: qel-simd did not come up (" QEL_SIMD_PATH ")\n");
    return 1;
  }
  const Bench bench{plan, scripted, simulator};
  if (!only.empty()) return onlySmallCalls(bench, only, onlyCount) ? 0 : 1;
  for (int pass = 1; pass <= passes; ++pass) {
    std::fprintf(stderr, "qel_bench: pass %d of %d\n", pass, passes);
    startPass();
    for (const Section &section : kSections) {
      if (chosen.empty() || chosen.count(section.name) != 0) section.run(bench);
    }
  }
  std::printf(
      "%d passes through the table, %d rounds of about %lld ms per row in each; spread = "
      "(max - min) / median\n",
      passes, plan.rounds, static_cast<long long>(plan.roundTime.count()));
  printTable();
  return 0;
}
