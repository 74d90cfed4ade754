// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/reports.hpp"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "simulator/model/formats.hpp"

namespace qel::simd {

namespace {

using SensorFilter = std::function<bool(const SensorState &)>;

std::string escapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // Control characters other than tab and newline are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
    }
  }
  return out;
}

std::string formatValue(float value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  return buffer;
}

bool isEnvironmental(const SensorState &sensor) {
  const SensorKind kind = sensor.spec.kind;
  return kind == SensorKind::kTemperature || kind == SensorKind::kFan ||
         kind == SensorKind::kPower || kind == SensorKind::kCurrent;
}

void sensorXml(std::ostringstream &out, const SpState &state, const SensorState &sensor,
               const char *indent) {
  const SensorSpec &spec = sensor.spec;
  out << indent << "<sensor id=\"" << escapeXml(spec.id) << "\" kind=\"" << kindName(spec.kind)
      << "\" unit=\"" << escapeXml(spec.unit) << "\" available=\""
      << (spec.available ? "yes" : "no") << "\" status=\"" << statusName(state.sensorStatus(sensor))
      << "\">" << formatValue(state.reading(sensor)) << "</sensor>\n";
}

void componentXml(std::ostringstream &out, const SpState &state, const ComponentSpec &component,
                  const SensorFilter &filter) {
  out << "  <component name=\"" << escapeXml(component.name) << "\" present=\""
      << (component.present ? "yes" : "no") << "\" status=\""
      << statusName(state.componentStatus(component.name)) << "\">\n";
  for (const SensorState &sensor : state.sensors()) {
    if (sensor.spec.component == component.name && filter(sensor)) {
      sensorXml(out, state, sensor, "    ");
    }
  }
  out << "  </component>\n";
}

// One document: the system-wide sensors (when no component is named) and the components.
std::string xmlDocument(const SpState &state, const char *root,
                        const std::vector<const ComponentSpec *> &components, bool systemWide,
                        const SensorFilter &filter) {
  std::string hostname;
  state.hostname(0, hostname);
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<" << root << " host=\"" << escapeXml(hostname) << "\" date=\""
      << formatDate(state.clock().now()) << "\">\n";
  if (systemWide) {
    for (const SensorState &sensor : state.sensors()) {
      if (sensor.spec.component.empty() && filter(sensor)) sensorXml(out, state, sensor, "  ");
    }
  }
  for (const ComponentSpec *component : components) componentXml(out, state, *component, filter);
  out << "</" << root << ">\n";
  return out.str();
}

std::vector<const ComponentSpec *> allComponents(const SpState &state) {
  std::vector<const ComponentSpec *> result;
  for (const ComponentSpec &component : state.components()) result.push_back(&component);
  return result;
}

std::string asciiTable(const SpState &state, const std::function<bool(const SensorState &)> &keep) {
  std::size_t componentWidth = 9, idWidth = 6;
  for (const SensorState &sensor : state.sensors()) {
    if (!keep(sensor)) continue;
    componentWidth = std::max(componentWidth, sensor.spec.component.size());
    idWidth = std::max(idWidth, sensor.spec.id.size());
  }
  std::string hostname;
  state.hostname(0, hostname);
  std::ostringstream out;
  out << "Sensor values of " << hostname << " at " << formatDate(state.clock().now()) << '\n';
  auto row = [&](std::string_view component, std::string_view id, std::string_view value,
                 std::string_view unit, std::string_view status) {
    char line[512];
    std::snprintf(line, sizeof line, "%-*.*s  %-*.*s  %10.*s  %-5.*s  %.*s\n",
                  static_cast<int>(componentWidth), static_cast<int>(component.size()),
                  component.data(), static_cast<int>(idWidth), static_cast<int>(id.size()),
                  id.data(), static_cast<int>(value.size()), value.data(),
                  static_cast<int>(unit.size()), unit.data(), static_cast<int>(status.size()),
                  status.data());
    out << line;
  };
  row("COMPONENT", "SENSOR", "VALUE", "UNIT", "STATUS");
  for (const SensorState &sensor : state.sensors()) {
    if (!keep(sensor)) continue;
    const bool available = sensor.spec.available;
    row(sensor.spec.component.empty() ? "-" : sensor.spec.component, sensor.spec.id,
        available ? formatValue(state.reading(sensor)) : "N/A", sensor.spec.unit,
        available ? statusName(state.sensorStatus(sensor)) : "unavailable");
  }
  return out.str();
}

// Runs `make` for a known component; an unknown one gives kNoSuchItem and no text.
template <typename Make>
int forComponent(const SpState &state, std::string_view name, std::string &out, Make make) {
  const ComponentSpec *component = state.findComponent(name);
  if (!component) return kNoSuchItem;
  out = make(*component);
  return kOk;
}

bool everySensor(const SensorState &) { return true; }

}  // namespace

std::string sensorValuesXml(const SpState &state) {
  return xmlDocument(state, "sensorValues", allComponents(state), true, everySensor);
}

std::string sensorValuesAscii(const SpState &state) { return asciiTable(state, everySensor); }

int componentValuesXml(const SpState &state, std::string_view component, std::string &out) {
  return forComponent(state, component, out, [&](const ComponentSpec &c) {
    return xmlDocument(state, "sensorValues", {&c}, false, everySensor);
  });
}

int componentValuesAscii(const SpState &state, std::string_view component, std::string &out) {
  return forComponent(state, component, out, [&](const ComponentSpec &c) {
    return asciiTable(state, [&](const SensorState &s) { return s.spec.component == c.name; });
  });
}

int environmentXml(const SpState &state, std::string_view component, std::string &out) {
  if (component.empty()) {
    out = xmlDocument(state, "environment", allComponents(state), false, isEnvironmental);
    return kOk;
  }
  return forComponent(state, component, out, [&](const ComponentSpec &c) {
    return xmlDocument(state, "environment", {&c}, false, isEnvironmental);
  });
}

std::string componentStatusAll(const SpState &state) {
  std::ostringstream out;
  for (const ComponentSpec &component : state.components()) {
    out << component.name << ": " << statusName(state.componentStatus(component.name)) << '\n';
  }
  return out.str();
}

std::string presenceAll(const SpState &state) {
  std::ostringstream out;
  for (const ComponentSpec &component : state.components()) {
    out << component.name << ": " << (component.present ? "present" : "absent") << '\n';
  }
  return out.str();
}

}  // namespace qel::simd
