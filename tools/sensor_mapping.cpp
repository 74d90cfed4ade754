// SPDX-License-Identifier: Apache-2.0
#include "tools/sensor_mapping.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace qel::tools {
namespace {

using Json = nlohmann::json;

// A document that does not fit; caught in parseMapping and turned into its one-line reason.
struct Unfit {
  std::string reason;
};

bool validMetricName(std::string_view name) {
  auto first = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
  auto later = [&](char c) { return first(c) || std::isdigit(static_cast<unsigned char>(c)); };
  return !name.empty() && first(name.front()) && std::all_of(name.begin() + 1, name.end(), later);
}

// The object at `where`, refusing keys other than `allowed`, so that a misspelt key is not
// silently ignored.
const Json &object(const Json &value, const std::string &where,
                   const std::set<std::string> &allowed) {
  if (!value.is_object()) throw Unfit{where + " is not an object"};
  for (const auto &[key, item] : value.items()) {
    if (allowed.count(key) == 0) throw Unfit{where + ": unknown key \"" + key + "\""};
  }
  return value;
}

template <typename T>
T field(const Json &value, const std::string &where, const char *key, T fallback) {
  if (!value.contains(key)) return fallback;
  try {
    return value.at(key).get<T>();
  } catch (const Json::exception &) {
    throw Unfit{where + ": \"" + key + "\" has the wrong type"};
  }
}

CatalogueFields catalogueFields(const Json &value) {
  const std::string where = "\"catalogue\"";
  object(value, where, {"kind", "unit", "component"});
  CatalogueFields fields;
  for (auto [key, number] : {std::pair{"kind", &fields.kind}, std::pair{"unit", &fields.unit},
                             std::pair{"component", &fields.component}}) {
    *number = field(value, where, key, *number);
    if (*number < 1 || *number > 7) throw Unfit{where + ": \"" + key + "\" is not 1 to 7"};
  }
  return fields;
}

constexpr std::pair<const char *, Quantity> kQuantities[] = {
    {"temperature", Quantity::kTemperature},
    {"voltage", Quantity::kVoltage},
    {"fan", Quantity::kFanSpeed},
    {"current", Quantity::kCurrent},
    {"power", Quantity::kPower},
    {"other", Quantity::kOther}};

Quantity quantity(const std::string &name, const std::string &where) {
  for (const auto &[known, value] : kQuantities) {
    if (name == known) return value;
  }
  throw Unfit{where +
              ": \"quantity\" is not one of temperature, voltage, fan, current, power, "
              "other"};
}

SensorRule sensorRule(const Json &value, std::size_t index) {
  const std::string where = "\"sensors\"[" + std::to_string(index) + "]";
  object(value, where, {"kind", "unit", "quantity", "metric", "help", "scale"});
  SensorRule rule;
  rule.kind = field<std::string>(value, where, "kind", "");
  rule.unit = field<std::string>(value, where, "unit", "");
  rule.quantity = quantity(field<std::string>(value, where, "quantity", "other"), where);
  rule.metric = field<std::string>(value, where, "metric", "");
  rule.help = field<std::string>(value, where, "help",
                                 "Readings of " + rule.kind + " sensors (" + rule.unit + ").");
  rule.scale = field(value, where, "scale", 1.0);
  if (!validMetricName(rule.metric)) throw Unfit{where + ": \"metric\" is not a metric name"};
  if (!std::isfinite(rule.scale) || rule.scale == 0) throw Unfit{where + ": bad \"scale\""};
  return rule;
}

SensorMapping mapping(const Json &document) {
  object(document, "the configuration", {"catalogue", "sensors"});
  SensorMapping result = defaultMapping();
  if (document.contains("catalogue")) result.fields = catalogueFields(document["catalogue"]);
  if (document.contains("sensors")) {
    const Json &rules = document["sensors"];
    if (!rules.is_array()) throw Unfit{"\"sensors\" is not a list"};
    result.rules.clear();
    for (std::size_t i = 0; i < rules.size(); ++i) result.rules.push_back(sensorRule(rules[i], i));
  }
  return result;
}

}  // namespace

const SensorRule *SensorMapping::ruleFor(std::string_view kind, std::string_view unit) const {
  for (const SensorRule &rule : rules) {
    if (rule.kind == kind && rule.unit == unit) return &rule;
  }
  return nullptr;
}

const SensorRule *SensorMapping::ruleFor(const SensorInfo &info) const {
  return ruleFor(catalogueText(info, fields.kind), catalogueText(info, fields.unit));
}

std::string_view catalogueText(const SensorInfo &info, int field) {
  const char *texts[] = {info.text1, info.text2, info.text3, info.text4,
                         info.text5, info.text6, info.text7};
  return texts[field - 1];
}

SensorMapping defaultMapping() {
  auto rule = [](const char *kind, const char *unit, Quantity quantity, const char *metric,
                 const char *help) { return SensorRule{kind, unit, quantity, metric, help, 1}; };
  return {
      {},
      {rule("temperature", "C", Quantity::kTemperature, "qel_temperature_celsius",
            "Temperature sensor readings."),
       rule("voltage", "V", Quantity::kVoltage, "qel_voltage_volts", "Voltage sensor readings."),
       rule("fan", "RPM", Quantity::kFanSpeed, "qel_fan_speed_rpm", "Fan speed sensor readings."),
       rule("current", "A", Quantity::kCurrent, "qel_current_amperes", "Current sensor readings."),
       rule("power", "W", Quantity::kPower, "qel_power_watts", "Power sensor readings.")}};
}

std::optional<SensorMapping> parseMapping(std::string_view document, std::string &error) {
  try {
    return mapping(Json::parse(document));
  } catch (const Json::exception &e) {
    error = std::string("not JSON: ") + e.what();
  } catch (const Unfit &unfit) {
    error = unfit.reason;
  }
  return std::nullopt;
}

std::optional<SensorMapping> loadMapping(const std::string &path, std::string &error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  auto result = parseMapping(text.str(), error);
  if (!result) error = path + ": " + error;
  return result;
}

std::optional<SensorMapping> configuredMapping(const std::string &path, std::string &error) {
  return path.empty() ? defaultMapping() : loadMapping(path, error);
}

}  // namespace qel::tools
