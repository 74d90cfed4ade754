// Scenario files: bad ones are refused with a message naming the field and the problem.
#include "server/scenario.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

namespace qel::simd {
namespace {

using nlohmann::json;

// Each spoils the shipped scenario one way; the message follows "test.json: ".
// clang-format off
const std::pair<std::function<void(json &)>, const char *> kSpoilt[] = {
    {[](json &d) { d.erase("hostname"); }, "(top level): missing required field \"hostname\""},
    {[](json &d) { d["interfaces"][0]["ipAddress"] = "192.0.2.300"; }, "interfaces[0].ipAddress: \"192.0.2.300\" is not a dotted-quad IPv4 address"},
    {[](json &d) { d["sensors"][0]["component"] = "gpu7"; }, "sensors[0].component: no component named \"gpu7\""},
    {[](json &d) { d["fan"]["minimumDuty"] = 90; d["fan"]["maximumDuty"] = 40; }, "fan.minimumDuty: must not exceed maximumDuty"},
};
// clang-format on

TEST(ScenarioFile, SpoiltFilesAreRejectedNamingFieldAndProblem) {
  for (const auto &[spoil, message] : kSpoilt) {
    json document = json::parse(std::ifstream(QEL_EXAMPLE_SCENARIO));
    spoil(document);
    try {
      parseScenario(document.dump(), "test.json");
      ADD_FAILURE() << "loaded: " << message;
    } catch (const ScenarioError &error) {
      EXPECT_EQ(std::string(error.what()), std::string("test.json: ") + message);
    }
  }
}

}  // namespace
}  // namespace qel::simd
