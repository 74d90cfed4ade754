// SPDX-License-Identifier: Apache-2.0
// The process_* metrics every Prometheus exporter reports of itself, read from /proc.
#pragma once

#include "exporter/metric_set.hpp"

namespace qel::exporter {

void addProcessMetrics(MetricSet &metrics);

}  // namespace qel::exporter
