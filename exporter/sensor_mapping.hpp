// SPDX-License-Identifier: Apache-2.0
// What a sensor's catalogue entry means to the exporter. The management server describes each
// sensor with seven texts, and which of them holds the kind, the unit and the component is the
// server's convention; so is what a kind's readings are measured in. The defaults follow
// qel-simd; a configuration file (--config) may change both.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exporter/metric_set.hpp"

namespace qel::exporter {

// Catalogue texts are numbered 1 to 7, as the library's SensorInfo names them.
struct CatalogueFields {
  int kind = 6;
  int unit = 4;
  int component = 5;
};

// Readings of sensors whose kind and unit texts are exactly these go to `family`, multiplied by
// `scale` (for instance 0.001 for a voltage in mV into volts).
struct SensorRule {
  std::string kind;
  std::string unit;
  Family family;
  double scale = 1;
};

struct SensorMapping {
  CatalogueFields fields;
  std::vector<SensorRule> rules;

  // The rule for a kind and unit; null sends the reading to qel_sensor_value{unit}.
  const SensorRule *ruleFor(std::string_view kind, std::string_view unit) const;
};

// The mapping for what qel-simd serves: temperature in C, voltage in V, fan in RPM, current
// in A and power in W, to the base-unit families.
SensorMapping defaultMapping();

// The mapping of a configuration document: an object with optional "catalogue" ({"kind": N,
// "unit": N, "component": N}) and "sensors" (a list of {"kind", "unit", "metric", "help",
// "scale"} that replaces the default rules). Nothing, and a one-line reason in `error`, when
// the document is not such an object.
std::optional<SensorMapping> parseMapping(std::string_view document, std::string &error);
// parseMapping on a file's contents.
std::optional<SensorMapping> loadMapping(const std::string &path, std::string &error);

}  // namespace qel::exporter
