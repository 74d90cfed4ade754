// SPDX-License-Identifier: Apache-2.0
// report, component: whole reports of the sensors and the components.
#include <qel.h>

#include "cli/actions.hpp"
#include "cli/commands.hpp"

namespace qel::cli {
namespace {

// A report of the whole system, or of COMPONENT when one is named.
void addReport(CommandTable &table, CLI::App &report, const std::string &name,
               const std::string &description, unsigned (*whole)(char **),
               unsigned (*forComponent)(const char *, char **)) {
  auto component = argument<std::string>();
  table
      .verb(
          report, name, description,
          [=](Session &session) {
            const bool one = !component->empty();
            showText(
                session,
                [&](char **out) {
                  return one ? forComponent(component->c_str(), out) : whole(out);
                },
                "report",
                one ? "cannot read the report of '" + *component + "'" : "cannot read the report");
          })
      .add_option("COMPONENT", *component, "Component to report on (default: the whole system)");
}

unsigned esValues(char **out) { return qelSysGetESValuesForComponentXML(nullptr, out); }

// `component status` and `component presence`: a report of all components, or the number of one.
void addComponentQuery(CommandTable &table, CLI::App &component, const std::string &name,
                       const std::string &description, unsigned (*all)(char **),
                       unsigned (*one)(const char *, int *)) {
  auto which = argument<std::string>();
  table
      .verb(component, name, description,
            [=](Session &session) {
              if (which->empty()) {
                showText(session, all, "report", "cannot read the " + name + " of the components");
                return;
              }
              int value = 0;
              check(one(which->c_str(), &value),
                    "cannot read the " + name + " of '" + *which + "'");
              session.show(Record().field(name, value));
            })
      .add_option("COMPONENT", *which, "Component (default: a report of all)");
}

}  // namespace

void addReportCommands(CommandTable &table, CLI::App &root) {
  auto &report = table.noun(root, "report", "Sensor reports");
  addReport(table, report, "xml", "Show the sensor values as XML", qelSysGetSensorValuesXML,
            qelSysGetSensorValuesForComponentXML);
  addReport(table, report, "text", "Show the sensor values as text", qelSysGetSensorValuesASCII,
            qelSysGetSensorValuesForComponentASCII);
  addReport(table, report, "es", "Show the ES values as XML", esValues,
            qelSysGetESValuesForComponentXML);

  auto &component = table.noun(root, "component", "Platform components");
  addComponentQuery(table, component, "status", "Show the status of components",
                    qelSysGetComponentStatusAll, qelSysGetComponentStatus);
  addComponentQuery(table, component, "presence", "Show which components are present",
                    qelSysGetPresenceDetectAll, qelSysGetPresenceDetect);
}

}  // namespace qel::cli
