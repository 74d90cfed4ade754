// The printed table: one line per row with its placement, its server, and the minimum, median
// and maximum over the rounds. A row whose rounds spread by more than 10 % of its median says
// "unstable" in place of a verdict: it is not a result.
#pragma once

#include <string>

#include "rounds.hpp"

namespace qel::bench {

// A bound the row's median must keep; none when `bound` is 0.
struct Target {
  enum class Kind { kAtMost, kAtLeast } kind = Kind::kAtMost;
  double bound = 0;
};

struct RowLabel {
  std::string what;
  const char *placement;
  const char *server;
};

void printHeader();
void printSection(const char *title);
void printRow(const RowLabel &label, const Spread &spread, int decimals, Target target = {});
// A count that does not vary from round to round (allocations, bytes).
void printCount(const RowLabel &label, double value, int decimals, Target target = {});

}  // namespace qel::bench
