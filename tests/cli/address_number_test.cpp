#include "cli/address_number.hpp"

#include <gtest/gtest.h>

namespace qel::cli {
namespace {

struct NumberCase {
  const char *text;
  std::optional<unsigned> value;
};

class AddressNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(AddressNumberTest, ReadsWholeThirtyTwoBitNumbersOnly) {
  EXPECT_EQ(addressNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressNumberTest,
    ::testing::Values(NumberCase{"0", 0u}, NumberCase{"167838211", 0x0A010203u},
                      NumberCase{"4294967295", 0xFFFFFFFFu}, NumberCase{"0x0A010203", 0x0A010203u},
                      NumberCase{"0XffFFffFF", 0xFFFFFFFFu}, NumberCase{"0x0", 0u},
                      // One past the top, in both notations.
                      NumberCase{"4294967296", std::nullopt},
                      NumberCase{"0x100000000", std::nullopt},
                      // A leading zero would read as octal elsewhere.
                      NumberCase{"017", std::nullopt}, NumberCase{"00", std::nullopt},
                      NumberCase{"", std::nullopt}, NumberCase{"0x", std::nullopt},
                      NumberCase{"-1", std::nullopt}, NumberCase{"+1", std::nullopt},
                      NumberCase{"0x-1", std::nullopt}, NumberCase{" 1", std::nullopt},
                      NumberCase{"1 ", std::nullopt}, NumberCase{"1.2.3.4", std::nullopt},
                      NumberCase{"12abc", std::nullopt}, NumberCase{"0xfg", std::nullopt},
                      NumberCase{"1e3", std::nullopt}));

}  // namespace
}  // namespace qel::cli
