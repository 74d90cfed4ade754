// SPDX-License-Identifier: Apache-2.0
#include "exporter/metric_set.hpp"

#include <algorithm>

namespace qel::exporter {

FamilySamples &MetricSet::familyFor(const Family &family) {
  // A scrape has a few dozen families: a linear search beats any index here.
  auto found = std::find_if(families_.begin(), families_.end(),
                            [&](const FamilySamples &f) { return f.family.name == family.name; });
  if (found != families_.end()) return *found;
  return families_.emplace_back(FamilySamples{family, {}});
}

void MetricSet::add(const Family &family, Labels labels, double value) {
  familyFor(family).samples.push_back({std::move(labels), value});
}

void MetricSet::merge(MetricSet &&other) {
  for (FamilySamples &theirs : other.families_) {
    auto &ours = familyFor(theirs.family).samples;
    std::move(theirs.samples.begin(), theirs.samples.end(), std::back_inserter(ours));
  }
  other.families_.clear();
}

}  // namespace qel::exporter
