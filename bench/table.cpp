#include "table.hpp"

#include <cstdio>

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

}  // namespace

void printHeader() {
  std::printf(kLine, "row", "placement", "server", "min", "median", "max", "spread", "verdict");
}

void printSection(const char *title) { std::printf("\n%s\n", title); }

void printRow(const RowLabel &label, const Spread &spread, int decimals, Target target) {
  if (spread.samples.empty()) {
    std::printf(kLine, label.what.c_str(), label.placement, label.server, "-", "-", "-", "-",
                "FAILED");
  } else {
    const double median = spread.median();
    const std::string width = number(100 * (spread.max() - spread.min()) / median, 1) + "%";
    std::printf(kLine, label.what.c_str(), label.placement, label.server,
                number(spread.min(), decimals).c_str(), number(median, decimals).c_str(),
                number(spread.max(), decimals).c_str(), width.c_str(),
                spread.unstable() ? "UNSTABLE" : verdict(median, target).c_str());
  }
  std::fflush(stdout);
}

void printCount(const RowLabel &label, double value, int decimals, Target target) {
  const std::string text = number(value, decimals);
  std::printf(kLine, label.what.c_str(), label.placement, label.server, text.c_str(), text.c_str(),
              text.c_str(), "0.0%", verdict(value, target).c_str());
  std::fflush(stdout);
}

}  // namespace qel::bench
