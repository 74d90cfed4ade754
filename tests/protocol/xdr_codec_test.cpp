// The codec helpers every record codec is built from.
#include "protocol/xdr_codec.hpp"

#include <gtest/gtest.h>

#include <climits>

#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

struct TextCase {
  const char *name;
  Bytes wire;
  u_int maximum;
  bool decodes;
  std::string text;
};

bool_t label(XDR *xdrs, char **text) { return xdrBoundedText(xdrs, text, 8); }

TEST(XdrText, DecodesLengthBytesAndPaddingWithinItsMaximum) {
  const TextCase cases[] = {
      {"empty", words({0}), kNoMaximum, true, ""},
      {"padded", concat({words({3}), {'a', 'b', 'c', 0}}), kNoMaximum, true, "abc"},
      {"exact multiple", concat({words({4}), {'a', 'b', 'c', 'd'}}), kNoMaximum, true, "abcd"},
      {"at the maximum", xdrString("12345678"), 8, true, "12345678"},
      {"over the maximum", xdrString("123456789"), 8, false, ""},
      {"length past the data", concat({words({40}), {'a', 'b', 'c', 'd'}}), kNoMaximum, false, ""},
      {"padding missing", concat({words({3}), {'a', 'b', 'c'}}), kNoMaximum, false, ""},
      {"largest length", words({0xFFFFFFFFu, 0}), kNoMaximum, false, ""},
      {"no length", {0, 0}, kNoMaximum, false, ""},
  };
  for (const TextCase &c : cases) {
    for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
      SCOPED_TRACE(c.name);
      Decoded<char *> decoded = decode(c.maximum == 8 ? label : xdrText, c.wire, policy);
      EXPECT_EQ(decoded.ok, c.decodes);
      if (c.decodes) {
        ASSERT_NE(decoded.value, nullptr);
        EXPECT_EQ(std::string(decoded.value), c.text);
      }
    }
  }
}

TEST(XdrText, EncodesWithPaddingAndRefusesNull) {
  char abc[] = "abcde";
  char *text = abc;
  bool ok = false;
  EXPECT_EQ(encode(xdrText, text, Inline::kGranted, &ok),
            concat({words({5}), {'a', 'b', 'c', 'd', 'e', 0, 0, 0}}));
  EXPECT_TRUE(ok);
  char *none = nullptr;
  encode(xdrText, none, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
}

struct Words {
  int first;
  unsigned int second;
  unsigned long third;
  int rest[3];
};

bool_t xdrWordsRecord(XDR *xdrs, Words *w) {
  return xdrWords(xdrs, &w->first, &w->second, &w->third, &w->rest);
}

TEST(XdrWords, BlockAndPrimitivePathsAgreeInBothDirections) {
  const Words record{-1, 0x80000000u, 4294967295ul, {1, -2, INT_MIN}};
  const Bytes expected = words({0xFFFFFFFF, 0x80000000, 0xFFFFFFFF, 1, 0xFFFFFFFE, 0x80000000});
  for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
    EXPECT_EQ(encode(xdrWordsRecord, record, policy), expected);
    Decoded<Words> back = decode(xdrWordsRecord, expected, policy);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back->first, -1);
    EXPECT_EQ(back->second, 0x80000000u);
    EXPECT_EQ(back->third, 4294967295ul);
    EXPECT_EQ(back->rest[2], INT_MIN);
    Bytes cut = expected;
    cut.pop_back();
    EXPECT_FALSE(decode(xdrWordsRecord, cut, policy).ok);
  }
}

struct TextList {
  u_int count;
  char **items;
};

bool_t xdrTextList(XDR *xdrs, TextList *list) {
  return xdrUnboundedArray(xdrs, &list->items, &list->count, xdrText);
}

TEST(XdrUnboundedArray, DecodesWhatArrivesAndFailsCleanlyOnWhatDoesNot) {
  const Bytes three = concat({words({3}), xdrString("a"), xdrString("bb"), xdrString("ccc")});
  Decoded<TextList> list = decode(xdrTextList, three);
  ASSERT_TRUE(list.ok);
  ASSERT_EQ(list->count, 3u);
  EXPECT_STREQ(list->items[2], "ccc");

  Decoded<TextList> empty = decode(xdrTextList, words({0}));
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty->count, 0u);

  // A count far beyond the data fails once the data runs out; what was decoded is released by
  // the free direction (the leak checker watches this).
  const Bytes bogus = concat({words({0x7FFFFFFF}), xdrString("a"), xdrString("bb")});
  Decoded<TextList> failed = decode(xdrTextList, bogus);
  EXPECT_FALSE(failed.ok);
  EXPECT_LE(failed->count, 3u);
  EXPECT_EQ(encode(xdrTextList, list.value), three);
}

}  // namespace
}  // namespace qel::test
