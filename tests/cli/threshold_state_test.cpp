#include "cli/threshold_state.hpp"

#include <gtest/gtest.h>

namespace qel::cli {
namespace {

// Lower critical 10, lower warning 20, upper warning 80, upper critical 90.
SensorThresholds limits(int flag1, int flag2, int flag3, int flag4) {
  return SensorThresholds{flag1, flag2, flag3, flag4, 10.0f, 20.0f, 80.0f, 90.0f};
}

struct StateCase {
  float reading;
  SensorThresholds thresholds;
  std::string_view state;
};

class ThresholdStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ThresholdStateTest, PlacesReading) {
  const StateCase &c = GetParam();
  EXPECT_EQ(stateName(thresholdState(c.reading, c.thresholds)), c.state);
}

INSTANTIATE_TEST_SUITE_P(Readings, ThresholdStateTest,
                         ::testing::Values(StateCase{50.0f, limits(1, 1, 1, 1), "ok"},
                                           StateCase{20.5f, limits(1, 1, 1, 1), "ok"},
                                           StateCase{20.0f, limits(1, 1, 1, 1), "warning"},
                                           StateCase{15.0f, limits(1, 1, 1, 1), "warning"},
                                           StateCase{10.0f, limits(1, 1, 1, 1), "critical"},
                                           StateCase{-5.0f, limits(1, 1, 1, 1), "critical"},
                                           StateCase{80.0f, limits(1, 1, 1, 1), "warning"},
                                           StateCase{90.0f, limits(1, 1, 1, 1), "critical"},
                                           StateCase{1000.0f, limits(1, 1, 1, 1), "critical"},
                                           // A threshold whose flag is 0 is not in use.
                                           StateCase{5.0f, limits(0, 1, 1, 1), "warning"},
                                           StateCase{5.0f, limits(0, 0, 1, 1), "ok"},
                                           StateCase{95.0f, limits(1, 1, 1, 0), "warning"},
                                           StateCase{95.0f, limits(1, 1, 0, 0), "ok"},
                                           // Only the low 8 bits of a flag travel.
                                           StateCase{95.0f, limits(1, 1, 1, 0x100), "warning"},
                                           StateCase{95.0f, limits(1, 1, 1, 0x1FF), "critical"},
                                           StateCase{-300.0f, limits(1, 1, 1, 1), "no reading"},
                                           StateCase{-300.5f, limits(1, 1, 1, 1), "critical"}));

}  // namespace
}  // namespace qel::cli
