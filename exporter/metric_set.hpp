// SPDX-License-Identifier: Apache-2.0
// The samples of one scrape, kept by metric family: both exposition formats want each family
// written once, with all of its samples together, whichever collector produced them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::exporter {

// kInfo families name their one sample "<name>_info" and always read 1.
enum class MetricType { kGauge, kInfo };

struct Family {
  std::string name;  // the sample name (with "_info" for kInfo)
  std::string help;
  MetricType type = MetricType::kGauge;
};

// Label names are the exporter's own literals; values come from the SP and are escaped when
// written.
using Labels = std::vector<std::pair<std::string_view, std::string>>;

struct Sample {
  Labels labels;
  double value = 0;
};

struct FamilySamples {
  Family family;
  std::vector<Sample> samples;
};

class MetricSet {
 public:
  void add(const Family &family, Labels labels, double value);
  // Moves every sample of `other` in, family by family.
  void merge(MetricSet &&other);
  const std::vector<FamilySamples> &families() const { return families_; }

 private:
  FamilySamples &familyFor(const Family &family);
  std::vector<FamilySamples> families_;  // in the order they first appeared
};

}  // namespace qel::exporter
