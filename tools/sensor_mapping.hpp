// SPDX-License-Identifier: Apache-2.0
// What a sensor's catalogue entry means to the tools (qel-exporter, qel-redfishd). The management
// server describes each sensor with seven texts, and which of them holds the kind, the unit and
// the component is the server's convention; so is what a kind's readings are measured in. The
// defaults follow qel-simd; a configuration file may change both.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qel.h"

namespace qel::tools {

// Catalogue texts are numbered 1 to 7, as the library's SensorInfo names them.
struct CatalogueFields {
  int kind = 6;
  int unit = 4;
  int component = 5;
};

// What a reading measures, once scaled to its base unit.
enum class Quantity { kTemperature, kVoltage, kFanSpeed, kCurrent, kPower, kOther };

// Readings of sensors whose kind and unit texts are exactly these measure `quantity`, in its
// base unit (degrees Celsius, volts, revolutions per minute, amperes, watts) once multiplied by
// `scale` (for instance 0.001 for a voltage in mV); the exporter writes them to the metric
// `metric` with the help text `help`.
struct SensorRule {
  std::string kind;
  std::string unit;
  Quantity quantity = Quantity::kOther;
  std::string metric;
  std::string help;
  double scale = 1;
};

struct SensorMapping {
  CatalogueFields fields;
  std::vector<SensorRule> rules;

  // The rule for a kind and unit; null for a sensor no rule maps.
  const SensorRule *ruleFor(std::string_view kind, std::string_view unit) const;
  // The rule for the sensor `info` describes.
  const SensorRule *ruleFor(const SensorInfo &info) const;
};

// Text `field` (1 to 7) of a catalogue entry.
std::string_view catalogueText(const SensorInfo &info, int field);

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
// A tool's mapping: the file a --config option names, or the default one without it ("").
std::optional<SensorMapping> configuredMapping(const std::string &path, std::string &error);

}  // namespace qel::tools
