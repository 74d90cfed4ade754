// SPDX-License-Identifier: Apache-2.0
// The protocol as clients check it, one table: open and protected resources, the order of the
// checks, headers, methods, queries, conditional requests, errors, and what a request may not
// get through with (malformed bodies, wrong types, unknown and read-only properties, path
// tricks); a bad request changes nothing on the SP.
#include "service_fixture.hpp"

namespace qel::test {
namespace {

using Expectations = std::vector<std::pair<std::string, std::string>>;  // pointer or header
struct Case {
  Call call;
  int status;
  Expectations expect;
};

const std::string kSensor = "/redfish/v1/Chassis/chassis/Sensors/cpu0-temp";
const std::string kAllowRead = "GET, HEAD";

void check(const Reply &reply, const Case &c) {
  const std::string what = c.call.method + " " + c.call.target + " " + c.call.body.substr(0, 60);
  EXPECT_EQ(reply.status, c.status) << what << ": " << reply.body;
  EXPECT_EQ(reply.header("OData-Version"), "4.0") << what;
  for (const auto &[where, value] : c.expect) {
    EXPECT_EQ(where.starts_with('/') ? reply.at(where) : reply.header(where), value) << what;
  }
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST_F(ServiceTest, ProtocolCases) {
  const Case cases[] = {
      {{"GET", "/redfish", "", Who::kNobody}, 200, {{"/v1", "\"/redfish/v1/\""}}},
      {{"GET", "/redfish/v1/", "", Who::kNobody},
       200,
       {{"/RedfishVersion", "\"1.21.0\""},
        {"/UUID", "\"6b0d0c52-5c6f-4ad8-9f8c-1b2d3e4f5a6b\""},
        {"/Links/Sessions/@odata.id", "\"/redfish/v1/SessionService/Sessions\""},
        {"/ProtocolFeaturesSupported/FilterQuery", "false"},
        {"Link", "<http://redfish.dmtf.org/schemas/v1/ServiceRoot.v1_20_0.json>; rel=describedby"},
        {"Allow", kAllowRead},
        {"Cache-Control", "no-cache"},
        {"Content-Type", "application/json; charset=utf-8"}}},
      {{"GET", "/redfish/v1", "", Who::kNobody}, 200, {{"/@odata.id", "\"/redfish/v1/\""}}},
      {{"GET", "/redfish/v1/$metadata", "", Who::kNobody},
       200,
       {{"Content-Type", "application/xml"}}},
      {{"GET", "/redfish/v1/odata", "", Who::kNobody},
       200,
       {{"/value/1/url", "\"/redfish/v1/Systems\""}}},
      {{"GET", "/redfish/v1/Systems", "", Who::kNobody},
       401,
       {{"WWW-Authenticate", "Basic realm=\"qel-redfishd\""},
        {"/error/code", "\"Base.1.22.1.AccessUnauthorized\""}}},
      // Credentials come first: no 304 to a client without them.
      {{"GET", "/redfish/v1/Systems", "", Who::kNobody, {{"If-None-Match", "*"}}}, 401, {}},
      {{"GET", "/redfish/v1/Nope", "", Who::kNobody}, 401, {}},
      {{"POST", "/redfish/v1/", "{}", Who::kNobody}, 401, {}},
      {{"GET", "/redfish/v1/Systems", "", Who::kReader, {{"If-None-Match", "*"}}}, 304, {}},
      {{"GET", "/redfish/v1/Systems", "", Who::kReader, {{"Accept", "application/xml"}}},
       200,
       {{"Content-Type", "application/json; charset=utf-8"},
        {"/Members@odata.count", "1"},
        {"Cache-Control", "no-store"}}},
      {{"HEAD", "/redfish/v1/Systems/system", "", Who::kReader}, 200, {{"Allow", kAllowRead}}},
      {{"PATCH", "/redfish/v1/", "{\"Name\":\"x\"}", Who::kAdmin},
       405,
       {{"Allow", kAllowRead}, {"/error/code", "\"Base.1.22.1.OperationNotAllowed\""}}},
      {{"PUT", "/redfish/v1/Systems/system", "{}", Who::kAdmin}, 405, {{"Allow", kAllowRead}}},
      {{"DELETE", "/redfish/v1/Chassis/chassis", "", Who::kAdmin}, 405, {}},
      {{"BREW", "/redfish/v1/Systems", "", Who::kAdmin}, 501, {}},
      {{"GET", "/redfish/v1/Systems", "", Who::kReader, {{"OData-Version", "4.1"}}},
       412,
       {{"/error/code", "\"Base.1.22.1.HeaderInvalid\""}}},
      {{"GET", "/redfish/v1/Systems?$expand=*", "", Who::kReader},
       501,
       {{"/error/code", "\"Base.1.22.1.QueryNotSupported\""}}},
      {{"GET", "/redfish/v1/Systems?only", "", Who::kReader}, 200, {}},
      {{"GET", "/redfish/v1/Nope", "", Who::kReader},
       404,
       {{"/error/@Message.ExtendedInfo/0/MessageId", "\"Base.1.22.1.ResourceMissingAtURI\""}}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/nope", "", Who::kReader},
       404,
       {{"/error/@Message.ExtendedInfo/0/MessageArgs", "[\"Sensor\",\"nope\"]"}}},
      {{"GET", "/redfish/v1/Systems/system/Processors/cpu0", "", Who::kReader},
       200,
       {{"/Status", "{\"State\":\"Enabled\",\"Health\":\"OK\"}"}}},
      {{"GET", "/redfish/v1/Systems/system/Memory/dimm1", "", Who::kReader},
       200,
       {{"/Status", "{\"State\":\"Absent\"}"}}},
      {{"GET", "/redfish/v1/Systems/system/Memory/cpu0", "", Who::kReader}, 404, {}},
      {{"GET", kSensor, "", Who::kReader},
       200,
       {{"/ReadingType", "\"Temperature\""},
        {"/ReadingUnits", "\"Cel\""},
        {"/Thresholds/UpperCritical/Reading", "95.0"},
        {"/Thresholds/LowerCaution/Reading", "5.0"},
        {"Link", "<http://redfish.dmtf.org/schemas/v1/Sensor.v1_12_0.json>; rel=describedby"},
        {"Allow", "GET, HEAD, PATCH"}}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/psu0-power", "", Who::kReader},
       200,
       {{"/Thresholds/LowerCritical/Reading", "null"}, {"/ReadingUnits", "\"W\""}}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/dimm1-temp", "", Who::kReader},
       200,
       {{"/Reading", "null"}, {"/Status", "{\"State\":\"UnavailableOffline\"}"}}},
      {{"GET", "/redfish/v1/Managers/sp/EthernetInterfaces/0", "", Who::kReader},
       200,
       {{"/MACAddress", "\"02:00:5e:10:00:01\""},
        {"/IPv4StaticAddresses",
         "[{\"Address\":\"192.0.2.10\",\"SubnetMask\":\"255.255.255.0\",\"Gateway\":\"192.0.2.1\"}"
         "]"},
        {"/StaticNameServers", "[\"192.0.2.53\",\"192.0.2.54\"]"},
        {"/HostName", "\"sp-sim\""}}},
      {{"GET", "/redfish/v1/Managers/sp/SerialInterfaces/console", "", Who::kReader},
       200,
       {{"/BitRate", "\"115200\""}, {"/Parity", "\"None\""}}},
      {{"GET", "/redfish/v1/AccountService/Roles/Operator", "", Who::kReader},
       200,
       {{"/AssignedPrivileges", "[\"Login\",\"ConfigureSelf\",\"ConfigureComponents\"]"}}},
      {{"POST", "/redfish/v1/Systems/system/Actions/ComputerSystem.Reset",
        "{\"ResetType\":\"Off\"}"},
       400,
       {{"/error/code", "\"Base.1.22.1.ActionParameterValueNotInList\""}}},
      {{"POST", "/redfish/v1/Systems/system/Actions/ComputerSystem.Reset", "{}"},
       400,
       {{"/error/code", "\"Base.1.22.1.ActionParameterMissing\""}}},
  };
  for (const Case &c : cases) check(call(c.call), c);
}

TEST_F(ServiceTest, BadInputIsAnsweredAndChangesNothing) {
  const std::string huge = "{\"x\":\"" + std::string(60000, 'a') + "\"}";
  const std::string code = "/error/code";
  const Case cases[] = {
      {{"PATCH", kSensor, "{"}, 400, {{code, "\"Base.1.22.1.MalformedJSON\""}}},
      {{"PATCH", kSensor, "[]"}, 400, {{code, "\"Base.1.22.1.UnrecognizedRequestBody\""}}},
      {{"PATCH", kSensor, "{}"}, 400, {{code, "\"Base.1.22.1.EmptyJSON\""}}},
      {{"PATCH", kSensor, "{\"a\":" + nested(20) + "}"},
       400,
       {{code, "\"Base.1.22.1.UnrecognizedRequestBody\""}}},
      {{"PATCH", kSensor, "{\"Thresholds\":{},\"Thresholds\":{}}"},
       400,
       {{code, "\"Base.1.22.1.PropertyDuplicate\""}}},
      {{"PATCH", kSensor, "{\"Thresholds\":{\"UpperCritical\":{\"Reading\":\"hot\"}}}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueTypeError\""},
        {"/error/@Message.ExtendedInfo/0/RelatedProperties",
         "[\"#/Thresholds/UpperCritical/Reading\"]"}}},
      {{"PATCH", kSensor, "{\"Thresholds\":7}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueTypeError\""}}},
      {{"PATCH", kSensor, "{\"Bogus\":1}"},
       400,
       {{"/error/@Message.ExtendedInfo/0/Message",
         "\"The property Bogus is not in the list of valid properties for the resource.\""}}},
      {{"PATCH", kSensor, "{\"Reading\":5,\"Id\":\"x\"}"},
       400,
       {{"/error/@Message.ExtendedInfo/1/MessageId", "\"Base.1.22.1.PropertyNotWritable\""}}},
      {{"PATCH", kSensor, huge}, 400, {{"/error/@Message.ExtendedInfo/0/MessageArgs/0", "\"x\""}}},
      {{"PATCH",
        kSensor,
        "{\"Thresholds\":{\"UpperCritical\":{\"Reading\":1}}}",
        Who::kAdmin,
        {{"Content-Type", "text/plain"}}},
       415,
       {}},
      {{"PATCH",
        kSensor,
        "{\"Thresholds\":{\"UpperCritical\":{\"Reading\":1}}}",
        Who::kAdmin,
        {{"If-Match", "\"0000000000000000\""}}},
       412,
       {{code, "\"Base.1.22.1.PreconditionFailed\""}}},
      {{"PATCH", kSensor, "{\"Thresholds\":{\"UpperCritical\":{\"Reading\":1e300}}}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueOutOfRange\""}}},
      {{"GET", "/redfish/v1/Systems/../AccountService", "", Who::kReader}, 404, {}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/../../../etc/passwd", "", Who::kReader},
       404,
       {}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/cpu0\r\nSet-Cookie: a=b", "", Who::kReader},
       404,
       {{"Set-Cookie", "(absent)"}}},
      {{"GET", "/redfish/v1/Chassis/chassis/Sensors/" + std::string(300, 'a'), "", Who::kReader},
       404,
       {}},
      {{"PATCH", "/redfish/v1/Managers/sp", "{\"DateTime\":\"yesterday\"}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueFormatError\""}}},
      {{"PATCH", "/redfish/v1/Managers/sp", "{\"DateTime\":\"2026-02-30T00:00:00Z\"}"}, 400, {}},
      {{"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/0",
        "{\"IPv4StaticAddresses\":[{\"SubnetMask\":\"255.0.255.0\"}]}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueFormatError\""}}},
      {{"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/0",
        "{\"IPv4StaticAddresses\":[{\"Address\":\"10.0.0.1 \"}],\"HostName\":\"-x\"}"},
       400,
       {{"/error/@Message.ExtendedInfo/1/MessageArgs", "[\"-x\",\"HostName\"]"}}},
      {{"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/0",
        "{\"StaticNameServers\":[\"1.1.1.1\",\"2.2.2.2\",\"3.3.3.3\",\"4.4.4.4\"]}"},
       400,
       {{code, "\"Base.1.22.1.ArraySizeTooLong\""}}},
      {{"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/9", "{\"HostName\":\"a\"}"}, 404, {}},
      {{"PATCH", "/redfish/v1/Managers/sp/SerialInterfaces/console", "{\"BitRate\":\"300\"}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueNotInList\""}}},
      {{"PATCH", "/redfish/v1/Chassis/chassis/Controls/PowerLimit", "{\"SetPoint\":101}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueOutOfRange\""}}},
      {{"PATCH", "/redfish/v1/Chassis/chassis/Controls/PowerLimit", "{\"SetPoint\":50.5}"},
       400,
       {}},
      {{"POST", "/redfish/v1/SessionService/Sessions", "", Who::kNobody},
       400,
       {{code, "\"Base.1.22.1.MalformedJSON\""}}},
      {{"POST", "/redfish/v1/SessionService/Sessions", "{\"UserName\":1,\"Password\":\"x\"}",
        Who::kNobody},
       400,
       {{code, "\"Base.1.22.1.PropertyValueTypeError\""}}},
      {{"POST", "/redfish/v1/SessionService/Sessions",
        "{\"UserName\":\"admin\",\"Password\":\"wrong-password\"}", Who::kNobody},
       401,
       {{"X-Auth-Token", "(absent)"}}},
      {{"POST", "/redfish/v1/AccountService/Accounts",
        "{\"UserName\":\"eve\",\"Password\":\"short\",\"RoleId\":\"ReadOnly\"}"},
       400,
       {{code, "\"Base.1.22.1.PasswordIncorrectLength\""}}},
      {{"POST", "/redfish/v1/AccountService/Accounts",
        "{\"UserName\":\"a b\",\"Password\":\"long-enough\",\"RoleId\":\"ReadOnly\"}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueFormatError\""}}},
      {{"POST", "/redfish/v1/AccountService/Accounts",
        "{\"UserName\":\"eve\",\"Password\":\"long-enough\",\"RoleId\":\"Root\"}"},
       400,
       {{code, "\"Base.1.22.1.PropertyValueNotInList\""}}},
      {{"POST", "/redfish/v1/AccountService/Accounts",
        "{\"UserName\":\"reader\",\"Password\":\"long-enough\",\"RoleId\":\"ReadOnly\"}"},
       409,
       {{code, "\"Base.1.22.1.ResourceAlreadyExists\""}}},
      {{"POST", "/redfish/v1/AccountService/Accounts", "{\"UserName\":\"eve\"}"},
       400,
       {{"/error/@Message.ExtendedInfo/1/MessageId",
         "\"Base.1.22.1.CreateFailedMissingReqProperties\""}}},
  };
  for (const Case &c : cases) check(call(c.call), c);
  for (const char *change : {"SysSetSensorThresholds", "SetDate", "SetIP", "SetDNS", "SetHostname",
                             "SysSetConsoleConfig", "PlatformSetPowerLevel"}) {
    EXPECT_EQ(calls(change), 0) << change;
  }
  EXPECT_EQ(accounts_->list().size(), 3u);
}

TEST_F(ServiceTest, APatchAppliesWhatItCanAndNamesTheRest) {
  const Reply mixed = call({"PATCH", kSensor,
                            "{\"Reading\":5,\"Thresholds\":{\"UpperCritical\":{\"Reading\":99},"
                            "\"LowerCritical\":{\"Reading\":null}}}"});
  EXPECT_EQ(mixed.status, 200) << mixed.body;
  EXPECT_EQ(mixed.at("/Thresholds/UpperCritical/Reading"), "99.0");
  EXPECT_EQ(mixed.at("/Thresholds/LowerCritical/Reading"), "null");
  EXPECT_EQ(mixed.at("/@Message.ExtendedInfo/0/MessageId"), "\"Base.1.22.1.PropertyNotWritable\"");
  // If-Match with the tag a GET gave, though the reading moved in between.
  const std::string etag = call({"GET", kSensor}).header("ETag");
  ctl("sensor cpu0-temp --value 61.5");
  const Reply matched = call({"PATCH",
                              kSensor,
                              "{\"Thresholds\":{\"UpperCaution\":{\"Reading\":80}}}",
                              Who::kAdmin,
                              {{"If-Match", etag}}});
  EXPECT_EQ(matched.status, 200) << matched.body;
  EXPECT_EQ(matched.at("/Reading"), "61.5");
  EXPECT_NE(matched.header("ETag"), etag) << matched.body;
  // The server refuses: its code becomes the property's message.
  ctl("fault SysSetSensorThresholds code 17 --count 1");
  const Reply refused =
      call({"PATCH", kSensor, "{\"Thresholds\":{\"UpperCaution\":{\"Reading\":70}}}"});
  EXPECT_EQ(refused.status, 400);
  EXPECT_EQ(refused.at("/error/code"), "\"Base.1.22.1.PropertyValueIncorrect\"");
}

TEST_F(ServiceTest, TheSpsFaultsAndStatesReachTheClient) {
  ctl("sensor cpu0-temp --value 97");
  Reply sensor = call({"GET", kSensor, "", Who::kReader});
  EXPECT_EQ(sensor.at("/Reading"), "97.0");
  EXPECT_EQ(sensor.at("/Status/Health"), "\"Critical\"");
  ctl("sensor cpu0-temp --value 90");
  EXPECT_EQ(call({"GET", kSensor, "", Who::kReader}).at("/Status/Health"), "\"Warning\"");
  EXPECT_EQ(call({"GET", "/redfish/v1/Systems/system", "", Who::kReader}).at("/Status/Health"),
            "\"Warning\"");

  ctl("fault PlatformGetPowerState code -42 --count 1");
  const Reply refused = call({"GET", "/redfish/v1/Systems/system", "", Who::kReader});
  EXPECT_EQ(refused.status, 500);
  EXPECT_EQ(refused.at("/error/@Message.ExtendedInfo/0/Message"),
            "\"An undetermined fault condition was reported by 'the management server (code "
            "42)'.\"");

  ctl("fault SysGetSensorValue hang --arg cpu0-temp");
  const auto start = std::chrono::steady_clock::now();
  const Reply hung = call({"GET", kSensor, "", Who::kReader});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3500));
  EXPECT_EQ(hung.status, 503);
  EXPECT_EQ(hung.header("Retry-After"), "5");
  EXPECT_EQ(hung.at("/error/code"), "\"Base.1.22.1.ServiceTemporarilyUnavailable\"");
  ctl("clear");
  EXPECT_EQ(call({"GET", kSensor, "", Who::kReader}).status, 200);

  ctl("away 3");
  EXPECT_EQ(call({"GET", "/redfish/v1/Chassis/chassis", "", Who::kReader}).status, 503);
}

TEST_F(ServiceTest, ResetsAndSettingsReachTheSp) {
  const std::string reset = "/redfish/v1/Systems/system/Actions/ComputerSystem.Reset";
  EXPECT_EQ(call({"POST", reset, "{\"ResetType\":\"ForceOff\"}"}).status, 204);
  EXPECT_EQ(call({"GET", "/redfish/v1/Systems/system"}).at("/PowerState"), "\"Off\"");
  // The host is off already: the server's code for a request that does not fit its state.
  const Reply again = call({"POST", reset, "{\"ResetType\":\"ForceOff\"}"});
  EXPECT_EQ(again.status, 409);
  EXPECT_EQ(again.at("/error/code"), "\"Base.1.22.1.ActionParameterValueConflict\"");
  EXPECT_EQ(call({"GET", "/redfish/v1/Systems/system"}).at("/Oem/Qel/LastShutdownReason"),
            "\"ManagementRequest\"");
  EXPECT_EQ(
      call({"PATCH", "/redfish/v1/Managers/sp", "{\"DateTime\":\"2030-01-02T04:04:05+01:00\"}"})
          .status,
      200);
  EXPECT_NE(ctl("trace --last 20").find("SetDate \"2030-01-02 03:04:05 GMT\""), std::string::npos);
  const Reply nic = call({"PATCH", "/redfish/v1/Managers/sp/EthernetInterfaces/0",
                          "{\"IPv4StaticAddresses\":[{\"Address\":\"192.0.2.77\"}],"
                          "\"HostName\":\"sp-two\",\"StaticNameServers\":[\"198.51.100.1\"]}"});
  EXPECT_EQ(nic.status, 200) << nic.body;
  EXPECT_EQ(nic.at("/IPv4Addresses/0/Address"), "\"192.0.2.77\"");
  EXPECT_EQ(nic.at("/HostName"), "\"sp-two\"");
  EXPECT_EQ(nic.at("/StaticNameServers"), "[\"198.51.100.1\"]");
  const Reply console = call({"PATCH", "/redfish/v1/Managers/sp/SerialInterfaces/console",
                              "{\"BitRate\":\"9600\",\"Parity\":\"Even\"}"});
  EXPECT_EQ(console.at("/BitRate"), "\"9600\"");
  EXPECT_EQ(console.at("/Parity"), "\"Even\"");
  EXPECT_EQ(call({"PATCH", "/redfish/v1/Chassis/chassis/Controls/PowerLimit", "{\"SetPoint\":60}"})
                .at("/SetPoint"),
            "60");
}

}  // namespace
}  // namespace qel::test
