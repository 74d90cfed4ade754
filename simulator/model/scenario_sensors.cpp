// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/scenario_sensors.hpp"

#include <array>

#include "lib/protocol/server_contract.hpp"

namespace qel::simd {

namespace {

constexpr std::array<std::string_view, kSensorKindCount> kKindNames = {
    "temperature", "voltage", "fan", "current", "power", "other"};

}  // namespace

std::string_view kindName(SensorKind kind) { return kKindNames[static_cast<int>(kind) - 1]; }

std::optional<SensorKind> kindFromName(std::string_view name) {
  for (std::size_t i = 0; i < kKindNames.size(); ++i) {
    if (kKindNames[i] == name) return static_cast<SensorKind>(i + 1);
  }
  return std::nullopt;
}

ComponentSpec readComponent(const JsonNode &node) {
  node.allowOnly({"name", "description", "present"});
  ComponentSpec spec;
  spec.name = node.required("name").text();
  node.read("description", spec.description);
  node.read("present", spec.present);
  return spec;
}

SensorSpec readSensor(const JsonNode &node, const std::set<std::string> &components) {
  node.allowOnly({"id", "component", "kind", "label", "description", "unit", "value", "offValue",
                  "swing", "period", "minimum", "maximum", "thresholds", "thresholdFlags",
                  "available"});
  SensorSpec spec;
  const JsonNode id = node.required("id");
  spec.id = id.text();
  if (spec.id == kProductIdSensor) {
    id.fail("\"" + std::string(kProductIdSensor) + "\" is set by the top-level productId");
  }
  const JsonNode component = node.required("component");
  spec.component = component.text();
  if (!components.contains(spec.component)) {
    component.fail("no component named \"" + spec.component + "\"");
  }
  const JsonNode kind = node.required("kind");
  auto parsed = kindFromName(kind.text());
  if (!parsed)
    kind.fail("unknown kind \"" + kind.text() +
              "\" (temperature, voltage, fan, current, power or other)");
  spec.kind = *parsed;
  spec.label = spec.id;
  node.read("label", spec.label);
  node.read("description", spec.description);
  node.read("unit", spec.unit);
  spec.value = static_cast<float>(node.required("value").number());
  spec.offValue = spec.value;
  node.read("offValue", spec.offValue);
  node.read("swing", spec.swing);
  node.read("period", spec.period);
  if (spec.period <= 0) node.required("period").fail("must be greater than 0");
  spec.minimum = spec.value;
  spec.maximum = spec.value;
  node.read("minimum", spec.minimum);
  node.read("maximum", spec.maximum);
  if (auto thresholds = node.optional("thresholds")) {
    auto entries = thresholds->items(4);
    if (entries.size() != 4) thresholds->fail("expected 4 numbers");
    for (std::size_t i = 0; i < 4; ++i)
      spec.thresholds[i] = static_cast<float>(entries[i].number());
    spec.flags = {1, 1, 1, 1};
  }
  if (auto flags = node.optional("thresholdFlags")) {
    auto entries = flags->items(4);
    if (entries.size() != 4) flags->fail("expected 4 numbers");
    for (std::size_t i = 0; i < 4; ++i)
      spec.flags[i] = static_cast<uint8_t>(entries[i].integer(0, 255));
  }
  node.read("available", spec.available);
  return spec;
}

SensorSpec productSensor(const std::optional<JsonNode> &node) {
  SensorSpec spec;
  spec.id = kProductIdSensor;
  spec.label = "Product number";
  spec.description = "Product number of the platform, looked up in the product map";
  if (node && node->isNull()) {
    spec.available = false;
  } else if (node) {
    spec.value = static_cast<float>(node->integer(0, 0xFFFFFF));
  }
  spec.offValue = spec.value;
  spec.minimum = spec.maximum = spec.value;
  return spec;
}

}  // namespace qel::simd
