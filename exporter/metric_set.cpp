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

void MetricSet::addStates(const Family &family, const Labels &labels, std::size_t current) {
  auto &samples = familyFor(family).samples;
  for (std::size_t i = 0; i < family.states.size(); ++i) {
    Labels withState = labels;
    withState.emplace_back(family.name, family.states[i]);
    samples.push_back({std::move(withState), i == current ? 1.0 : 0.0});
  }
}

void MetricSet::merge(MetricSet &&other) {
  for (FamilySamples &theirs : other.families_) {
    auto &ours = familyFor(theirs.family).samples;
    std::move(theirs.samples.begin(), theirs.samples.end(), std::back_inserter(ours));
  }
  other.families_.clear();
}

}  // namespace qel::exporter
