// SPDX-License-Identifier: Apache-2.0
#include "table.hpp"

#include <cstdio>
#include <vector>

namespace qel::bench {
namespace {

constexpr const char *kLine = "%-50s %-9s %-8s %10s %10s %10s %7s  %s\n";

std::string number(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string verdict(double median, Target target) {
  if (target.bound == 0) return "";
  const bool atMost = target.kind == Target::Kind::kAtMost;
  const bool met = atMost ? median <= target.bound : median >= target.bound;
  return std::string(atMost ? "<= " : ">= ") + number(target.bound, 2) +
         (met ? " met" : " NOT met");
}

// One line of the table: a section title (no label), or a row with the rounds of every pass.
struct Line {
  std::string title;
  RowLabel label{};
  Spread spread;
  int decimals = 0;
  Target target;
  bool failed = false;
  bool count = false;
};

std::vector<Line> lines;
std::size_t next = 0;  // the line the current pass reaches next

// The current pass's line at this point of the table: made in the first pass, found in later
// ones, which take the same path through the sections.
Line &reach() {
  if (next == lines.size()) lines.emplace_back();
  return lines[next++];
}

void print(const Line &line) {
  if (!line.title.empty()) {
    std::printf("\n%s\n", line.title.c_str());
    return;
  }
  const RowLabel &label = line.label;
  if (line.failed || line.spread.samples.empty()) {
    std::printf(kLine, label.what.c_str(), label.placement, label.server, "-", "-", "-", "-",
                "FAILED");
    return;
  }
  const Spread &spread = line.spread;
  const double median = spread.median();
  const std::string width =
      line.count ? "0.0%" : number(100 * (spread.max() - spread.min()) / median, 1) + "%";
  std::printf(kLine, label.what.c_str(), label.placement, label.server,
              number(spread.min(), line.decimals).c_str(), number(median, line.decimals).c_str(),
              number(spread.max(), line.decimals).c_str(), width.c_str(),
              spread.unstable() ? "UNSTABLE" : verdict(median, line.target).c_str());
}

void record(const RowLabel &label, const Spread &spread, int decimals, Target target, bool count) {
  Line &line = reach();
  line.label = label;
  line.decimals = decimals;
  line.target = target;
  line.count = count;
  line.failed = line.failed || spread.samples.empty();
  line.spread.samples.insert(line.spread.samples.end(), spread.samples.begin(),
                             spread.samples.end());
}

}  // namespace

void startPass() { next = 0; }

void printTable() {
  std::printf(kLine, "row", "placement", "server", "min", "median", "max", "spread", "verdict");
  for (const Line &line : lines) print(line);
  std::fflush(stdout);
}

void printSection(const char *title) { reach().title = title; }

void printRow(const RowLabel &label, const Spread &spread, int decimals, Target target) {
  record(label, spread, decimals, target, false);
}

void printCount(const RowLabel &label, double value, int decimals, Target target) {
  record(label, Spread{{value}}, decimals, target, true);
}

}  // namespace qel::bench
