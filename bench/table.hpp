// SPDX-License-Identifier: Apache-2.0
// The printed table: one line per row with its placement, its server, and the minimum, median
// and maximum over the rounds of every pass. A row whose rounds spread by more than 10 % of its
// median says "unstable" in place of a verdict: it is not a result. The table is run in several
// passes, each through every section, so that a row's rounds come from the whole length of the
// run and not from the few seconds one pass spends on it; rows are gathered and printed at the
// end.
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

// Starts the next pass through the sections: its rows add their rounds to the first pass's.
void startPass();
void printTable();
void printSection(const char *title);
void printRow(const RowLabel &label, const Spread &spread, int decimals, Target target = {});
// A count that does not vary from round to round (allocations, bytes).
void printCount(const RowLabel &label, double value, int decimals, Target target = {});

}  // namespace qel::bench
