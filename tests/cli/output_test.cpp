#include "cli/output.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace qel::cli {
namespace {

std::string human(const Record &record) {
  std::ostringstream out;
  record.writeHuman(out);
  return out.str();
}

TEST(OutputTest, FieldsAlignUnderTheLongestLabel) {
  const Record record = Record()
                            .field("enabled", true)
                            .field("address", nullptr)
                            .field("hardwareAddress", "02:00:5e:10:00:01", "hardware address")
                            .field("servers", Json::array({"1.1.1.1", "8.8.8.8"}))
                            .field("label", "");
  EXPECT_EQ(human(record),
            "enabled:          yes\n"
            "address:          -\n"
            "hardware address: 02:00:5e:10:00:01\n"
            "servers:          1.1.1.1, 8.8.8.8\n"
            "label:\n");
  Json document;
  record.addTo(document);
  EXPECT_EQ(document.dump(),
            R"({"enabled":true,"address":null,"hardwareAddress":"02:00:5e:10:00:01",)"
            R"("servers":["1.1.1.1","8.8.8.8"],"label":""})");
}

TEST(OutputTest, TextsAndLinesPrintAsTheyAre) {
  const Record record = Record().text("report", "<a>\n</a>").lines("sensors", {"x", "y"});
  EXPECT_EQ(human(record), "<a>\n</a>\nx\ny\n");
  Json document;
  record.addTo(document);
  EXPECT_EQ(document.dump(), R"({"report":"<a>\n</a>","sensors":["x","y"]})");
  EXPECT_EQ(human(Record().text("report", "")), "");
  EXPECT_EQ(human(Record().text("report", "one\n")), "one\n");
}

TEST(OutputTest, TablesPadEveryColumnButTheLast) {
  const Json rows = Json::array({Json{{"sensor", "cpu0-temp"}, {"value", 52.5}},
                                 Json{{"sensor", "dimm1-temp"}, {"value", nullptr}}});
  EXPECT_EQ(human(Record().table("readings", {{"sensor", "SENSOR"}, {"value", "VALUE"}}, rows)),
            "SENSOR      VALUE\n"
            "cpu0-temp   52.5\n"
            "dimm1-temp  -\n");
}

TEST(OutputTest, FloatsReadBackAsTheSameFloat) {
  for (float value : {0.1f, 1.05f, -300.0f, 52.5f, 3.4028235e38f, 1e-7f}) {
    const Json json = floatValue(value);
    EXPECT_EQ(static_cast<float>(Json::parse(json.dump()).get<double>()), value) << json.dump();
  }
  EXPECT_EQ(floatValue(0.1f).dump(), "0.1");
  EXPECT_EQ(floatValue(12.05f).dump(), "12.05");
  EXPECT_EQ(floatValue(-300.0f).dump(), "-300.0");
}

}  // namespace
}  // namespace qel::cli
