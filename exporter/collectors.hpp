// SPDX-License-Identifier: Apache-2.0
// The collectors: each reads one part of the SP through a session and adds its samples. A
// collector returns the first result code that fails the whole collection (no connection, no
// reply, the list of items refused); its samples are then dropped whole, so that a failed
// collection shows as qel_up 0 and never as a partial set of series. An item (a sensor, a
// component) that the server refuses alone loses only its own series and is counted.
#pragma once

#include <qel.h>

#include <array>
#include <string>

#include "exporter/metric_set.hpp"
#include "exporter/sp_session.hpp"
#include "tools/sensor_mapping.hpp"

namespace qel::exporter {

struct Collected {
  MetricSet metrics;
  unsigned itemErrors = 0;
  std::string firstItemError;  // for the log: "sensor cpu0-temp: refused by ... (16)"
};

using CollectFunction = unsigned (*)(SpSession &sp, const tools::SensorMapping &mapping,
                                     Collected &out);

// Whether a failing call's `code` is its item's alone: the server answered and refused it. No
// connection, no reply or a deadline past fail the whole collection.
inline bool itemFailure(const SpSession &sp, unsigned code) {
  return code != RESULT_OK && code != RESULT_CALL_FAILED && !sp.unreachable();
}
// Counts an item's failure in `out`.
void countItemError(Collected &out, const std::string &item, unsigned code);

struct Collector {
  const char *name;
  CollectFunction collect;
};

unsigned collectSensors(SpSession &sp, const tools::SensorMapping &mapping, Collected &out);
unsigned collectComponents(SpSession &sp, const tools::SensorMapping &mapping, Collected &out);
unsigned collectPlatform(SpSession &sp, const tools::SensorMapping &mapping, Collected &out);
unsigned collectNetwork(SpSession &sp, const tools::SensorMapping &mapping, Collected &out);
unsigned collectFan(SpSession &sp, const tools::SensorMapping &mapping, Collected &out);

// In the order a scrape runs them.
inline constexpr std::array kCollectors{
    Collector{"sensors", collectSensors},   Collector{"components", collectComponents},
    Collector{"platform", collectPlatform}, Collector{"network", collectNetwork},
    Collector{"fan", collectFan},
};

}  // namespace qel::exporter
