// SPDX-License-Identifier: Apache-2.0
// The open resources: /redfish, the service root, $metadata with the service's OEM schema,
// and the OData service document.
#include "redfish/resources/payload.hpp"
#include "redfish/resources/resources.hpp"

namespace qel::redfish::root {
namespace {

constexpr const char *kRedfishVersion = "1.21.0";
constexpr const char *kOemSchemaUri = "/redfish/v1/Schemas/Qel_v1.xml";

// The top-level resources, as the service root links them and the service document lists them.
constexpr std::pair<const char *, const char *> kServices[] = {
    {"Systems", "/redfish/v1/Systems"},
    {"Chassis", "/redfish/v1/Chassis"},
    {"Managers", "/redfish/v1/Managers"},
    {"SessionService", "/redfish/v1/SessionService"},
    {"AccountService", "/redfish/v1/AccountService"}};

constexpr const char *kXmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<edmx:Edmx xmlns:edmx=\"http://docs.oasis-open.org/odata/ns/edmx\" Version=\"4.0\">\n";

std::string reference(const std::string &uri, std::initializer_list<std::string> namespaces) {
  std::string xml = "  <edmx:Reference Uri=\"" + uri + "\">\n";
  for (const std::string &name : namespaces) {
    xml += "    <edmx:Include Namespace=\"" + name + "\"/>\n";
  }
  return xml + "  </edmx:Reference>\n";
}

std::string dmtf(std::string_view file) {
  return "http://redfish.dmtf.org/schemas/v1/" + std::string(file) + "_v1.xml";
}

}  // namespace

Json versions(Exchange &) { return Json{{"v1", "/redfish/v1/"}}; }

Json serviceRoot(Exchange &ex) {
  Json root = resource(kServiceRoot, "/redfish/v1/", "RootService", "Root Service");
  root["RedfishVersion"] = kRedfishVersion;
  root["UUID"] = ex.state.settings.uuid;
  root["Product"] = "qel-redfishd " QEL_TOOLS_VERSION;
  root["Vendor"] = "libqel";
  // Only what the service does: no query parameters, no deep operations.
  root["ProtocolFeaturesSupported"] = {
      {"ExpandQuery",
       {{"ExpandAll", false}, {"Levels", false}, {"Links", false}, {"NoLinks", false}}},
      {"FilterQuery", false},
      {"SelectQuery", false},
      {"OnlyMemberQuery", false},
      {"ExcerptQuery", false},
      {"DeepOperations", {{"DeepPATCH", false}, {"DeepPOST", false}}}};
  for (const auto &[name, uri] : kServices) root[name] = link(uri);
  root["Links"] = {{"Sessions", link(kSessionsUri)}};
  return root;
}

Json metadata(Exchange &) {
  std::string xml = kXmlHead;
  for (const Schema &schema : schemasInUse()) {
    const std::string name(schema.name);
    xml += reference(dmtf(name), {name, name + "." + std::string(schema.version)});
  }
  for (std::string_view member : collectionsInUse()) {
    const std::string name = std::string(member) + "Collection";
    xml += reference(dmtf(name), {name});
  }
  xml += reference(dmtf("Resource"), {"Resource", "Resource.v1_0_0"});
  xml += reference(dmtf("Message"), {"Message", "Message.v1_0_0"});
  xml += reference(kOemSchemaUri, {"Qel", "Qel.v1_0_0"});
  xml +=
      "  <edmx:DataServices>\n"
      "    <Schema xmlns=\"http://docs.oasis-open.org/odata/ns/edm\" Namespace=\"Service\">\n"
      "      <EntityContainer Name=\"Service\" Extends=\"ServiceRoot.v1_20_0.ServiceContainer\"/>\n"
      "    </Schema>\n"
      "  </edmx:DataServices>\n"
      "</edmx:Edmx>\n";
  return xml;
}

Json oemSchema(Exchange &) {
  std::string xml = kXmlHead;
  xml += reference(
      "http://docs.oasis-open.org/odata/odata/v4.0/errata03/csd01/complete/vocabularies/"
      "Org.OData.Core.V1.xml",
      {"Org.OData.Core.V1"});
  xml += reference(dmtf("RedfishExtensions"), {"RedfishExtensions.v1_0_0"});
  xml += reference(dmtf("Resource"), {"Resource", "Resource.v1_0_0"});
  xml += R"(  <edmx:DataServices>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="Qel">
      <Annotation Term="RedfishExtensions.v1_0_0.OwningEntity" String="libqel"/>
    </Schema>
    <Schema xmlns="http://docs.oasis-open.org/odata/ns/edm" Namespace="Qel.v1_0_0">
      <ComplexType Name="ComputerSystem" BaseType="Resource.OemObject">
        <Annotation Term="Org.OData.Core.V1.Description" String="What the management server tells of the host that the standard properties do not hold."/>
        <Property Name="LastShutdownReason" Type="Qel.v1_0_0.ShutdownReason">
          <Annotation Term="Org.OData.Core.V1.Permissions" EnumMember="Org.OData.Core.V1.Permission/Read"/>
          <Annotation Term="Org.OData.Core.V1.Description" String="Why the host last shut down, as the management server reports it."/>
        </Property>
      </ComplexType>
      <EnumType Name="ShutdownReason">
        <Member Name="None"/>
        <Member Name="ManagementRequest"/>
        <Member Name="PowerButton"/>
        <Member Name="GracefulShutdown"/>
        <Member Name="Reset"/>
        <Member Name="PowerCycle"/>
        <Member Name="Unknown"/>
      </EnumType>
    </Schema>
  </edmx:DataServices>
</edmx:Edmx>
)";
  return xml;
}

Json odata(Exchange &) {
  Json services =
      Json::array({{{"name", "Service"}, {"kind", "Singleton"}, {"url", "/redfish/v1/"}}});
  for (const auto &[name, uri] : kServices) {
    services.push_back({{"name", name}, {"kind", "Singleton"}, {"url", uri}});
  }
  services.push_back({{"name", "Sessions"}, {"kind", "Singleton"}, {"url", kSessionsUri}});
  return Json{{"@odata.context", "/redfish/v1/$metadata"}, {"value", services}};
}

}  // namespace qel::redfish::root
