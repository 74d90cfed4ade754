// SPDX-License-Identifier: Apache-2.0
// The collectors: each reads one part of the SP through a session and adds its samples. A
// collector returns the first failing result code; its samples are then dropped whole, so that a
// failed collection shows as qel_up 0 and never as a partial set of series.
#pragma once

#include <array>

#include "exporter/metric_set.hpp"
#include "exporter/sp_session.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

using CollectFunction = unsigned (*)(SpSession &sp, const tools::SensorMapping &mapping,
                                     MetricSet &metrics);

struct Collector {
  const char *name;
  CollectFunction collect;
};

unsigned collectSensors(SpSession &sp, const tools::SensorMapping &mapping, MetricSet &metrics);
unsigned collectComponents(SpSession &sp, const tools::SensorMapping &mapping, MetricSet &metrics);
unsigned collectPlatform(SpSession &sp, const tools::SensorMapping &mapping, MetricSet &metrics);
unsigned collectNetwork(SpSession &sp, const tools::SensorMapping &mapping, MetricSet &metrics);
unsigned collectFan(SpSession &sp, const tools::SensorMapping &mapping, MetricSet &metrics);

// In the order a scrape runs them.
inline constexpr std::array kCollectors{
    Collector{"sensors", collectSensors},   Collector{"components", collectComponents},
    Collector{"platform", collectPlatform}, Collector{"network", collectNetwork},
    Collector{"fan", collectFan},
};

}  // namespace qel::exporter
