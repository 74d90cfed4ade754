// SPDX-License-Identifier: Apache-2.0
// The pieces every payload is made of: the schema versions the service follows (one place,
// which $metadata lists as well), the annotations a resource and a collection carry, links,
// status and time stamps.
#pragma once

#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "redfish/http/message.hpp"

namespace qel::redfish {

// A DMTF schema and the version of it a payload follows; an empty version for a collection.
struct Schema {
  std::string_view name;
  std::string_view version;
  std::string type() const;  // "#Sensor.v1_12_0.Sensor", "#SensorCollection.SensorCollection"
};

inline constexpr Schema kServiceRoot{"ServiceRoot", "v1_20_0"};
inline constexpr Schema kComputerSystem{"ComputerSystem", "v1_27_0"};
inline constexpr Schema kProcessor{"Processor", "v1_22_0"};
inline constexpr Schema kMemory{"Memory", "v1_23_0"};
inline constexpr Schema kChassis{"Chassis", "v1_28_0"};
inline constexpr Schema kSensor{"Sensor", "v1_12_0"};
inline constexpr Schema kThermalSubsystem{"ThermalSubsystem", "v1_5_0"};
inline constexpr Schema kFan{"Fan", "v1_6_0"};
inline constexpr Schema kPowerSubsystem{"PowerSubsystem", "v1_1_3"};
inline constexpr Schema kPowerSupply{"PowerSupply", "v1_6_0"};
inline constexpr Schema kPowerSupplyMetrics{"PowerSupplyMetrics", "v1_2_0"};
inline constexpr Schema kControl{"Control", "v1_7_0"};
inline constexpr Schema kThermal{"Thermal", "v1_7_3"};
inline constexpr Schema kPower{"Power", "v1_7_3"};
inline constexpr Schema kManager{"Manager", "v1_24_0"};
inline constexpr Schema kEthernetInterface{"EthernetInterface", "v1_12_4"};
inline constexpr Schema kNetworkProtocol{"ManagerNetworkProtocol", "v1_12_0"};
inline constexpr Schema kSerialInterface{"SerialInterface", "v1_3_0"};
inline constexpr Schema kSessionService{"SessionService", "v1_2_0"};
inline constexpr Schema kSession{"Session", "v1_8_0"};
inline constexpr Schema kAccountService{"AccountService", "v1_18_1"};
inline constexpr Schema kManagerAccount{"ManagerAccount", "v1_14_1"};
inline constexpr Schema kRole{"Role", "v1_3_3"};

// Every schema above with its collection, where it has one: what $metadata references.
std::span<const Schema> schemasInUse();
std::span<const std::string_view> collectionsInUse();

// The fixed members: the one host, chassis and SP.
inline constexpr std::string_view kSystemUri = "/redfish/v1/Systems/system";
inline constexpr std::string_view kChassisUri = "/redfish/v1/Chassis/chassis";
inline constexpr std::string_view kManagerUri = "/redfish/v1/Managers/sp";
inline constexpr std::string_view kAccountsUri = "/redfish/v1/AccountService/Accounts";
inline constexpr std::string_view kSessionsUri = "/redfish/v1/SessionService/Sessions";

// {"@odata.id": uri}
Json link(std::string_view uri);
// A resource's annotations and identity: @odata.id, @odata.type, Id and Name.
Json resource(const Schema &schema, std::string_view uri, std::string_view id,
              std::string_view name);
// A collection of `name`Collection at `uri` with its members' URIs.
Json collection(std::string_view name, std::string_view uri, std::string_view title,
                const std::vector<std::string> &members);
// `id` as one URI segment: everything but letters, digits and "-._~" percent-encoded.
std::string uriSegment(std::string_view id);
// "2026-03-04T05:06:07+00:00"
std::string timestamp(std::chrono::system_clock::time_point time);
// {"State": state, "Health": health}, without Health when it is empty.
Json status(std::string_view state, std::string_view health = "");

}  // namespace qel::redfish
