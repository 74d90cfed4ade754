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
  // intValue1, intValue2, realValue1 to 3 (-0.0, 1.5, -300.0), intValue3 to 5
  const uint32_t numbers[] = {0xFFFFFFFF, 0x80000000, 0x80000000, 0x3FC00000,
                              0xC3960000, 7,          0x7FFFFFFF, 0};
  for (int over : {-200, -1, 0, 9}) {  // the texts' lengths against their fields
    SCOPED_TRACE(over);
    Bytes reply = words({0});
    std::string texts[7];
    for (int f = 0; f < 7; ++f) {
      texts[f] = std::string(std::max<int>(0, int(sizes[f]) + over), char('a' + f));
      reply = concat({reply, xdrString(texts[f])});
    }
    for (uint32_t number : numbers) reply = concat({reply, words({number})});
    server.answerOnce(kInfo, Reply::body(reply));
    SensorInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(qelGetSensorInfo("fan.3", &info), RESULT_OK);
    const char *fields[] = {info.text1, info.text2, info.text3, info.text4,
                            info.text5, info.text6, info.text7};
    for (int f = 0; f < 7; ++f) {
      const std::size_t kept = std::min(texts[f].size(), sizes[f] - 1);
      EXPECT_EQ(std::string(fields[f], sizes[f]),
                texts[f].substr(0, kept) + std::string(sizes[f] - kept, 0))
          << f;
    }
    EXPECT_EQ(std::memcmp(&info.intValue1, numbers, sizeof numbers), 0) << "copied bit for bit";
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

}  // namespace
}  // namespace qel::test
