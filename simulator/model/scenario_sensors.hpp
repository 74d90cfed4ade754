// SPDX-License-Identifier: Apache-2.0
// Reading the components and sensors of a scenario, and the product number's sensor.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "simulator/model/scenario.hpp"
#include "simulator/model/scenario_reader.hpp"

namespace qel::simd {

ComponentSpec readComponent(const JsonNode &node);
// Each sensor names a component of `components`.
SensorSpec readSensor(const JsonNode &node, const std::set<std::string> &components);
// The sensor the platform reports its product number through; null makes it unavailable.
SensorSpec productSensor(const std::optional<JsonNode> &node);

}  // namespace qel::simd
