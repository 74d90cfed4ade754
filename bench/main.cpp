// qel_bench: prints the table of docs/performance.md.
//   qel_bench [--quick] [SECTION...]   sections: small sigpipe reports scale codecs heap connect
//   qel_bench --only library|raw|raw-held|floor COUNT   (for counting system calls)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "raw_client.hpp"
#include "sections.hpp"
#include "table.hpp"

namespace {

using namespace qel::bench;

const std::map<std::string, void (*)(const Bench &)> kSections = {
    {"small", smallCallRows}, {"sigpipe", sigpipeRows}, {"reports", reportRows},
    {"scale", scaleRows},     {"codecs", codecRows},    {"heap", heapRows},
    {"connect", connectRows}};
const char *const kOrder[] = {"small", "sigpipe", "reports", "scale", "codecs", "heap", "connect"};

}  // namespace

int main(int argc, char **argv) {
  RoundPlan plan;
  std::map<std::string, bool> chosen;
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
    } else if (kSections.count(argv[i]) != 0) {
      chosen[argv[i]] = true;
    } else {
      std::fprintf(
          stderr,
          "usage: qel_bench [--quick] [small|sigpipe|reports|scale|codecs|heap|connect]...\n"
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
  std::printf("%d rounds of about %lld ms per row; spread = (max - min) / median\n", plan.rounds,
              static_cast<long long>(plan.roundTime.count()));
  printHeader();
  for (const char *name : kOrder) {
    if (chosen.empty() || chosen.count(name) != 0) kSections.at(name)(bench);
  }
  return 0;
}
