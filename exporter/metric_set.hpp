// SPDX-License-Identifier: Apache-2.0
// The samples of one scrape, kept by metric family: both exposition formats want each family
// written once, with all of its samples together, whichever collector produced them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::exporter {

// kInfo families name their one sample "<name>_info" and always read 1; kCounter families name
// their samples "<name>_total". A kStateSet family has one sample per state, labelled with the
// family's name, 1 for the state that holds and 0 for the others (a gauge in the text format).
enum class MetricType { kGauge, kCounter, kInfo, kStateSet };

struct Family {
  std::string name;  // the sample name (with "_info" for kInfo, "_total" for kCounter)
  std::string help;
  MetricType type = MetricType::kGauge;
  std::vector<std::string_view> states = {};  // kStateSet: every state, in order
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
  // The samples of a kStateSet family (one that lives as long as the program: its name labels
  // them) where state `current` holds; none holds when it is past the last.
  void addStates(const Family &family, const Labels &labels, std::size_t current);
  // Moves every sample of `other` in, family by family.
  void merge(MetricSet &&other);
  const std::vector<FamilySamples> &families() const { return families_; }

 private:
  FamilySamples &familyFor(const Family &family);
  std::vector<FamilySamples> families_;  // in the order they first appeared
};

}  // namespace qel::exporter
