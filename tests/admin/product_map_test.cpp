// Matching one piece of the product map and turning a sensor reading into a product number,
// without any file.
#include "admin/product_map.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace qel::test {
namespace {

struct PieceCase {
  const char *piece;
  int32_t product;
  const char *name;  // null: the piece gives no name
};

const PieceCase kPieces[] = {
    {"1A|Alpha\n", 26, "Alpha"},
    {"1A|Alpha", 26, "Alpha"},
    {"0x1a|Alpha\n", 26, "Alpha"},
    {"0X1A|Alpha\n", 26, "Alpha"},
    {"  1A|Alpha\n", 26, "Alpha"},
    {"\t1a|Alpha\n", 26, "Alpha"},
    {"1A |Alpha\n", 26, "Alpha"},
    {"1A||Alpha\n", 26, "Alpha"},
    {"|1A|Alpha\n", 26, "Alpha"},
    {"||1A|||Alpha||more\n", 26, "Alpha"},
    {"1A|Alpha|rev 2\n", 26, "Alpha"},
    {"1A|Alpha Beta\n", 26, "Alpha Beta"},
    {" 1A | Alpha \n", 26, " Alpha "},
    {"1A|Alpha\r\n", 26, "Alpha\r"},
    {"1A|\n", 26, nullptr},
    {"1A|", 26, nullptr},
    {"1A||\n", 26, nullptr},
    {"1A\n", 26, nullptr},
    {"1A", 26, nullptr},
    {"|||\n", 0, nullptr},
    {"|||", 0, nullptr},
    {"", 0, nullptr},
    {"\n", 0, nullptr},
    {"1B|Beta\n", 26, nullptr},
    {"1A|Alpha\n", 0x1A0, nullptr},
    {"zz|Zed\n", 0, "Zed"},
    {"#note|Note\n", 0, "Note"},
    {"zz|Zed\n", 26, nullptr},
    {"0x|Prefix only\n", 0, "Prefix only"},
    {"-5|Minus\n", -5, "Minus"},
    {"+1f|Plus\n", 31, "Plus"},
    {"7FFFFFFF|Max\n", INT32_MAX, "Max"},
    {"FFFFFFFF|Beyond\n", INT32_MAX, "Beyond"},
    {"-80000000|Min\n", INT32_MIN, "Min"},
    {"-FFFFFFFFFFFFFFFFFFFF|Far below\n", INT32_MIN, "Far below"},
};

TEST(ProductMapTest, PieceGivesItsNameOnlyToItsOwnNumber) {
  for (const PieceCase &c : kPieces) {
    SCOPED_TRACE(std::string("piece \"") + c.piece + "\", product " + std::to_string(c.product));
    std::string piece = c.piece;
    const char *name = nameInMapPiece(piece.data(), c.product);
    if (c.name == nullptr) {
      EXPECT_EQ(name, nullptr);
    } else {
      ASSERT_NE(name, nullptr);
      EXPECT_STREQ(name, c.name);
      EXPECT_GE(name, piece.data());
      EXPECT_LT(name, piece.data() + piece.size());
    }
  }
}

struct ReadingCase {
  float reading;
  int32_t product;
};

const ReadingCase kReadings[] = {
    {26.0f, 26},
    {26.9f, 26},
    {26.1f, 26},
    {-5.0f, -5},
    {0.99f, 0},
    {-0.99f, 0},
    {-300.5f, -300},
    {2147483520.0f, 2147483520},
    {2147483648.0f, INT32_MAX},
    {3e9f, INT32_MAX},
    {-2147483648.0f, INT32_MIN},
    {-3e9f, INT32_MIN},
    {std::numeric_limits<float>::infinity(), INT32_MAX},
    {-std::numeric_limits<float>::infinity(), INT32_MIN},
    {std::numeric_limits<float>::quiet_NaN(), 0},
    {-std::numeric_limits<float>::quiet_NaN(), 0},
};

TEST(ProductMapTest, ReadingTruncatesTowardZeroWithinTheSigned32BitRange) {
  for (const ReadingCase &c : kReadings) {
    SCOPED_TRACE(c.reading);
    EXPECT_EQ(productNumber(c.reading), c.product);
  }
}

}  // namespace
}  // namespace qel::test
