// The sensor catalogue end to end: bounded descriptions and caller-owned identifier lists.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "protocol/procedures.hpp"
#include "sensor_test.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kInfo = proc::GetSensorInfo::kNumber;
constexpr uint32_t kList = proc::GetSensorList::kNumber;

struct TextField {
  const char *name;
  char *rpc_SensorInfo::*wire;
  std::span<char> (*field)(SensorInfo &);
};

#define QEL_TEXT_FIELD(n)                                                       \
  TextField {                                                                   \
#n, &rpc_SensorInfo::n, [](SensorInfo & i) { return std::span<char>(i.n); } \
  }
const TextField kTextFields[] = {
    QEL_TEXT_FIELD(text1), QEL_TEXT_FIELD(text2), QEL_TEXT_FIELD(text3), QEL_TEXT_FIELD(text4),
    QEL_TEXT_FIELD(text5), QEL_TEXT_FIELD(text6), QEL_TEXT_FIELD(text7)};
#undef QEL_TEXT_FIELD

// A description whose texts are all "-" but for `text` in `wire`.
Reply describing(char *rpc_SensorInfo::*wire, std::string &text) {
  static char dash[] = "-";
  rpc_SensorInfo info{0,  dash,      dash,  dash, dash,    dash, dash,      dash,
                      -1, INT32_MIN, -0.0f, 1.5f, -300.0f, 7,    INT32_MAX, 0};
  info.*wire = text.data();
  return Reply::record(xdr_rpc_SensorInfo, info);
}

using CatalogueTest = SensorTest;

TEST_F(CatalogueTest, EveryTextIsCutToItsFieldLessOneAndPaddedWithNuls) {
  for (const TextField &f : kTextFields) {
    SensorInfo probe;
    const std::size_t size = f.field(probe).size();
    for (std::size_t length : {std::size_t{0}, std::size_t{10}, size - 1, size, size + 9}) {
      SCOPED_TRACE(std::string(f.name) + " of " + std::to_string(length));
      std::string text(length, 'a');
      for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
      server.answerOnce(kInfo, describing(f.wire, text));
      SensorInfo info;
      std::memset(&info, 0x5A, sizeof info);
      ASSERT_EQ(qelGetSensorInfo("fan.3", &info), RESULT_OK);

      const std::span<char> field = f.field(info);
      const std::size_t kept = std::min(length, size - 1);
      EXPECT_EQ(std::string(field.data(), kept), text.substr(0, kept));
      for (std::size_t i = kept; i < size; ++i) ASSERT_EQ(field[i], '\0') << "byte " << i;
      for (const TextField &other : kTextFields) {
        if (other.wire != f.wire) {
          EXPECT_STREQ(other.field(info).data(), "-") << other.name;
        }
      }
      EXPECT_EQ(info.intValue1, -1);
      EXPECT_EQ(info.intValue2, INT32_MIN);
      EXPECT_TRUE(std::signbit(info.realValue1));
      EXPECT_EQ(info.realValue2, 1.5f);
      EXPECT_EQ(info.realValue3, -300.0f);
      EXPECT_EQ(info.intValue3, 7);
      EXPECT_EQ(info.intValue4, INT32_MAX);
      EXPECT_EQ(info.intValue5, 0);
    }
  }
  EXPECT_EQ(server.callsOf(kInfo).back().arguments, xdrString("fan.3"));
}

TEST_F(CatalogueTest, SensorInfoFailuresLeaveTheRecordAlone) {
  std::string text = "abc";
  Reply refused = describing(&rpc_SensorInfo::text1, text);
  refused.bytes[3] = 9;  // errorCode 9
  expectReplies(kInfo,
                {
                    {"server refuses", refused, 9, true},
                    {"reply cut short", describing(&rpc_SensorInfo::text1, text).cutTo(40),
                     RESULT_CALL_FAILED, false},
                    {"connection dropped", Reply::drop(), RESULT_CALL_FAILED, false},
                },
                [] {
                  SensorInfo info, before;
                  std::memset(&info, 0x5A, sizeof info);
                  before = info;
                  const unsigned int result = qelGetSensorInfo("fan.3", &info);
                  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
                  return result;
                });
}

// A list reply with `ids`.
Reply listing(int32_t errorCode, const std::vector<std::string> &ids) {
  Bytes bytes = words({static_cast<uint32_t>(errorCode), static_cast<uint32_t>(ids.size())});
  for (const std::string &id : ids) bytes = concat({bytes, xdrString(id)});
  return Reply::body(bytes);
}

TEST_F(CatalogueTest, ListGivesIndependentCopiesInReplyOrder) {
  std::vector<std::string> many;
  for (int i = 0; i < 1500; ++i) many.push_back("sensor." + std::to_string(i));
  const std::vector<std::vector<std::string>> lists = {{}, {"cpu0.temp", "", "fan.1"}, many};
  for (const auto &ids : lists) {
    SCOPED_TRACE(std::to_string(ids.size()) + " identifiers");
    server.answerOnce(kList, listing(0, ids));
    unsigned int count = 12345;
    char **list = nullptr;
    ASSERT_EQ(qelGetSensorList(-4, 9, &count, &list), RESULT_OK);
    ASSERT_EQ(count, ids.size());
    ASSERT_NE(list, nullptr) << "an empty list is still an array to free";
    // The copies outlive the reply, which the call has released already.
    for (unsigned int i = 0; i < count; ++i) {
      ASSERT_NE(list[i], nullptr);
      EXPECT_EQ(list[i], ids[i]);
      std::free(list[i]);
    }
    std::free(list);
  }
  EXPECT_EQ(server.callsOf(kList).back().arguments, words({static_cast<uint32_t>(-4), 9}));
}

TEST_F(CatalogueTest, ListFailuresLeaveTheOutputsAlone) {
  expectReplies(
      kList,
      {
          {"server refuses", listing(6, {"a", "b"}), 6, true},
          {"server refuses an empty list", listing(-3, {}), static_cast<unsigned int>(-3), true},
          {"reply cut short", listing(0, {"a", "b", "c"}).cutTo(20), RESULT_CALL_FAILED, false},
          {"count beyond the data", Reply::body(concat({words({0, 0x7FFFFFFF}), xdrString("a")})),
           RESULT_CALL_FAILED, false},
          {"connection dropped", Reply::drop(), RESULT_CALL_FAILED, false},
      },
      [] {
        unsigned int count = 12345;
        char *sentinel[1] = {nullptr};
        char **list = sentinel;
        const unsigned int result = qelGetSensorList(0, 0, &count, &list);
        EXPECT_EQ(count, 12345u);
        EXPECT_EQ(list, sentinel);
        return result;
      });
}

TEST_F(CatalogueTest, ListWithoutAnOutputIsRefusedBeforeConnecting) {
  server.answer(kList, listing(0, {"a"}));
  server.shutDown();
  qelDisconnect();
  unsigned int count = 7;
  char **list = nullptr;
  EXPECT_EQ(qelGetSensorList(0, 0, nullptr, &list), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(qelGetSensorList(0, 0, &count, nullptr), RESULT_INVALID_ARGUMENT);
  EXPECT_EQ(handle(), nullptr);
  EXPECT_EQ(server.callCount(), 0u);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(qelGetSensorList(0, 0, &count, &list), RESULT_NOT_REGISTERED)
      << "with both outputs it does try to connect";
  EXPECT_EQ(list, nullptr);
}

}  // namespace
}  // namespace qel::test
