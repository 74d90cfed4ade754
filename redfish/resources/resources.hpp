// SPDX-License-Identifier: Apache-2.0
// The handlers of every resource, one file a family; redfish/http/route_table.cpp binds each to
// its URI and privileges. A family's payloads are each assembled in one function.
#pragma once

#include "redfish/http/routes.hpp"

namespace qel::redfish {

namespace root {  // service_root.cpp
Json versions(Exchange &ex);
Json serviceRoot(Exchange &ex);
Json metadata(Exchange &ex);  // the CSDL document, as a JSON string
Json oemSchema(Exchange &ex);
Json odata(Exchange &ex);
}  // namespace root

namespace systems {  // systems.cpp
Json collection(Exchange &ex);
Json system(Exchange &ex);
void reset(Exchange &ex);
Json processors(Exchange &ex);
Json processor(Exchange &ex);
Json memories(Exchange &ex);
Json memory(Exchange &ex);
}  // namespace systems

namespace chassis {  // chassis.cpp
Json collection(Exchange &ex);
Json chassis(Exchange &ex);
Json thermal(Exchange &ex);
Json fans(Exchange &ex);
Json fan(Exchange &ex);
Json power(Exchange &ex);
Json supplies(Exchange &ex);
Json supply(Exchange &ex);
Json supplyMetrics(Exchange &ex);
Json controls(Exchange &ex);
Json control(Exchange &ex);
extern const PatchRule kControlPatch;
Json legacyThermal(Exchange &ex);  // thermal_power.cpp
Json legacyPower(Exchange &ex);
}  // namespace chassis

namespace sensors {  // sensors.cpp
Json collection(Exchange &ex);
Json sensor(Exchange &ex);
extern const PatchRule kSensorPatch;
}  // namespace sensors

namespace managers {  // managers.cpp
Json collection(Exchange &ex);
Json manager(Exchange &ex);
extern const PatchRule kManagerPatch;
void reset(Exchange &ex);
void resetToDefaults(Exchange &ex);
Json interfaces(Exchange &ex);
Json interface(Exchange &ex);
extern const PatchRule kInterfacePatch;
Json networkProtocol(Exchange &ex);
Json serialInterfaces(Exchange &ex);
Json serialInterface(Exchange &ex);
extern const PatchRule kSerialPatch;
}  // namespace managers

namespace sessions {  // sessions.cpp
Json service(Exchange &ex);
extern const PatchRule kServicePatch;
Json collection(Exchange &ex);
void login(Exchange &ex);
Json session(Exchange &ex);
void logout(Exchange &ex);
}  // namespace sessions

namespace accounts {  // accounts.cpp
Json service(Exchange &ex);
extern const PatchRule kServicePatch;
Json collection(Exchange &ex);
void create(Exchange &ex);
Json account(Exchange &ex);
extern const PatchRule kAccountPatch;
void remove(Exchange &ex);
Json roles(Exchange &ex);
Json role(Exchange &ex);
}  // namespace accounts

}  // namespace qel::redfish
