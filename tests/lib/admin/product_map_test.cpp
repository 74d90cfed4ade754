// SPDX-License-Identifier: Apache-2.0
// One piece of the product map matched against a product number, and a sensor reading turned
// into a product number, without any file.
#include "lib/admin/product_map.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace qel::test {
namespace {

struct PieceCase {
  const char *piece;
  int32_t product;
  const char *name;  // null: the piece gives no name
};

// clang-format off
const PieceCase kPieces[] = {
    {"1A|Alpha\n", 26, "Alpha"}, {"0x1a|Alpha\n", 26, "Alpha"}, {"\t1a|Alpha\n", 26, "Alpha"},
    {"1A |Alpha\n", 26, "Alpha"}, {"||1A|||Alpha||more\n", 26, "Alpha"},
    {" 1A | Alpha \n", 26, " Alpha "}, {"1A|Alpha\r\n", 26, "Alpha\r"}, {"|||", 0, nullptr},
    {"1A|Alpha\n", 0x1A0, nullptr}, {"zz|Zed\n", 0, "Zed"}, {"zz|Zed\n", 26, nullptr},
    {"0x|Prefix only\n", 0, "Prefix only"}, {"-5|Minus\n", -5, "Minus"}, {"+1f|Plus\n", 31, "Plus"},
    {"FFFFFFFF|Beyond\n", INT32_MAX, "Beyond"}, {"-FFFFFFFFFFFFFFFFFFFF|Far\n", INT32_MIN, "Far"},
};
// clang-format on

TEST(ProductMapTest, PieceGivesItsNameOnlyToItsOwnNumber) {
  for (const PieceCase &c : kPieces) {
    std::string piece = c.piece;
    const char *name = nameInMapPiece(piece.data(), c.product);
    EXPECT_STREQ(name, c.name) << '"' << c.piece << "\" for " << c.product;
  }
}

TEST(ProductMapTest, ReadingTruncatesTowardZeroWithinTheSigned32BitRange) {
  // clang-format off
  const std::pair<float, int32_t> readings[] = {
      {26.9f, 26}, {26.1f, 26}, {-5.0f, -5}, {0.99f, 0}, {-0.99f, 0}, {-300.5f, -300},
      {2147483520.0f, 2147483520}, {2147483648.0f, INT32_MAX}, {3e9f, INT32_MAX},
      {-2147483648.0f, INT32_MIN}, {-3e9f, INT32_MIN}, {INFINITY, INT32_MAX},
      {-INFINITY, INT32_MIN}, {NAN, 0}, {-NAN, 0},
  };
  // clang-format on
  for (const auto &[reading, product] : readings)
    EXPECT_EQ(productNumber(reading), product) << reading;
}

}  // namespace
}  // namespace qel::test
