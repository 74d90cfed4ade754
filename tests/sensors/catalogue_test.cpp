// The sensor catalogue: descriptions cut to their fields, lists of caller-owned copies.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "server_test.hpp"

namespace qel::test {
namespace {

using CatalogueTest = ServerTest;
constexpr uint32_t kInfo = 1500, kList = 1501;

TEST_F(CatalogueTest, EveryTextIsCutToItsFieldLessOneAndPaddedWithNuls) {
  const std::size_t sizes[] = {32, 64, 128, 32, 64, 32, 128};
  for (int field = 0; field < 7; ++field) {
    const std::size_t size = sizes[field];
    for (std::size_t length : {std::size_t{0}, size - 1, size, size + 9}) {
      SCOPED_TRACE("text" + std::to_string(field + 1) + " of " + std::to_string(length));
      std::string text(length, 'a');
      for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
      Bytes reply = words({0});
      for (int f = 0; f < 7; ++f) reply = concat({reply, xdrString(f == field ? text : "-")});
      // intValue1, intValue2, realValue1 to 3 (-0.0, 1.5, -300.0), intValue3 to 5
      reply = concat({reply, words({0xFFFFFFFF, 0x80000000, 0x80000000, 0x3FC00000, 0xC3960000, 7,
                                    0x7FFFFFFF, 0})});
      server.answerOnce(kInfo, Reply::body(reply));
      SensorInfo info;
      std::memset(&info, 0x5A, sizeof info);
      ASSERT_EQ(qelGetSensorInfo("fan.3", &info), RESULT_OK);
      char *fields[] = {info.text1, info.text2, info.text3, info.text4,
                        info.text5, info.text6, info.text7};
      const std::size_t kept = std::min(length, size - 1);
      EXPECT_EQ(std::string(fields[field], size),
                text.substr(0, kept) + std::string(size - kept, 0));
      for (int f = 0; f < 7; ++f) {
        if (f != field) {
          EXPECT_STREQ(fields[f], "-") << f;
        }
      }
      const uint32_t numbers[] = {0xFFFFFFFF, 0x80000000, 0x80000000, 0x3FC00000,
                                  0xC3960000, 7,          0x7FFFFFFF, 0};
      EXPECT_EQ(std::memcmp(&info.intValue1, numbers, sizeof numbers), 0) << "copied bit for bit";
    }
  }
}

TEST_F(CatalogueTest, ListGivesIndependentCopiesInReplyOrder) {
  const std::vector<std::vector<std::string>> lists = {{}, {"cpu0.temp", "", "fan.1"}};
  for (const auto &ids : lists) {
    Bytes reply = words({0, static_cast<uint32_t>(ids.size())});
    for (const std::string &id : ids) reply = concat({reply, xdrString(id)});
    server.answerOnce(kList, Reply::body(reply));
    unsigned int count = 12345;
    char **list = nullptr;
    ASSERT_EQ(qelGetSensorList(-4, 9, &count, &list), RESULT_OK);
    ASSERT_EQ(count, ids.size());
    ASSERT_NE(list, nullptr) << "an empty list is still an array to free";
    for (unsigned int i = 0; i < count; ++i) {
      EXPECT_EQ(list[i], ids[i]);
      std::free(list[i]);
    }
    std::free(list);
  }
}

TEST_F(CatalogueTest, ListWithoutAnOutputIsRefusedBeforeConnecting) {
  server.shutDown();
  qelDisconnect();
  unsigned int count = 7;
  char **list = nullptr;
  EXPECT_EQ(qelGetSensorList(0, 0, nullptr, &list), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(qelGetSensorList(0, 0, &count, nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(qelGetSensorList(0, 0, &count, &list), RESULT_NOT_REGISTERED)
      << "with both outputs it does try to connect";
}

}  // namespace
}  // namespace qel::test
