// The list families: integer and 64-bit integer lists (growth, sums, conversion to and
// from text), string lists (fill rules, growth, search) and byte-string lists.
#include <gtest/gtest.h>

#include <string>

#include "pcf_test_util.h"

namespace {

using pcftest::Attr;

TEST(PcfAttrLists, IntegerListGrowthAndSum) {
  Attr l;
  ASSERT_EQ(CreatePcfIntListAttr(&l.m, 1002, 2), 1);
  ASSERT_EQ(SetPcfIntListAttrValue(&l.m, 0, 1), 1);
  ASSERT_EQ(SetPcfIntListAttrValue(&l.m, 1, 2), 1);
  int sum = 10;
  ASSERT_EQ(GetPcfIntListAttrValueSum(&l.m, &sum), 1);
  EXPECT_EQ(sum, 13);
  // -1 appends; an index beyond Count grows the list to index + 1.
  ASSERT_EQ(SetPcfIntListAttrValue(&l.m, -1, 3), 1);
  ASSERT_EQ(SetPcfIntListAttrValue(&l.m, 5, 6), 1);
  EXPECT_EQ(l.m.lMsgLength, 136 + 16 + 4 * 6);
  int v = 0;
  ASSERT_EQ(GetPcfIntListAttrValue(&l.m, 2, &v), 1);
  EXPECT_EQ(v, 3);
  ASSERT_EQ(GetPcfIntListAttrValue(&l.m, 5, &v), 1);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(GetPcfIntListAttrValue(&l.m, 6, &v), 0);
  EXPECT_EQ(GetPcfIntListAttrValue(&l.m, -1, &v), 0);
  ASSERT_EQ(SizePcfIntListAttr(&l.m, 1), 1);
  EXPECT_EQ(IsPcfIntListAttr(&l.m), 1);
  EXPECT_EQ(GetPcfIntListAttrValue(&l.m, 1, &v), 0);
  EXPECT_EQ(SizePcfIntListAttr(&l.m, -1), 0);
  // Sums wrap instead of overflowing.
  ASSERT_EQ(SetPcfIntListAttrValue(&l.m, 0, INT32_MAX), 1);
  sum = 1;
  ASSERT_EQ(GetPcfIntListAttrValueSum(&l.m, &sum), 1);
  EXPECT_EQ(sum, INT32_MIN);
}

TEST(PcfAttrLists, IntegerListText) {
  Attr l;
  ASSERT_EQ(CreatePcfIntListAttr(&l.m, 1, 3), 1);
  const int values[] = {1, 22, 333};
  for (int i : {0, 1, 2}) ASSERT_EQ(SetPcfIntListAttrValue(&l.m, i, values[i]), 1);
  char out[16];
  ASSERT_EQ(GetPcfIntListAttrValueStr(&l.m, out, 11), 1);
  EXPECT_STREQ(out, "1,22,333");
  ASSERT_EQ(GetPcfIntListAttrValueStr(&l.m, out, 10), 1);
  EXPECT_STREQ(out, "1,22");
  ASSERT_EQ(GetPcfIntListAttrValueStr(&l.m, out, 1), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetPcfIntListAttrValueStr(&l.m, out, 0), 0);

  Attr t;
  ASSERT_EQ(CreatePcfIntListAttr(&t.m, 1, 1), 1);
  ASSERT_EQ(SetPcfIntListAttrValueStr(&t.m, "5;6,,7"), 1);
  ASSERT_EQ(GetPcfIntListAttrValueStr(&t.m, out, 16), 1);
  EXPECT_STREQ(out, "5,6,7");
  // Blanks skipped, reading stops at a non-digit, no digits give 0, too big saturates;
  // values past the text keep their contents and Count never shrinks.
  ASSERT_EQ(SetPcfIntListAttrValueStr(&t.m, " -4x;abc"), 1);
  ASSERT_EQ(GetPcfIntListAttrValueStr(&t.m, out, 16), 1);
  EXPECT_STREQ(out, "-4,0,7");
  ASSERT_EQ(SetPcfIntListAttrValueStr(&t.m, "99999999999"), 1);
  int v = 0;
  ASSERT_EQ(GetPcfIntListAttrValue(&t.m, 0, &v), 1);
  EXPECT_EQ(v, INT32_MAX);
  // Only the first 255 characters count.
  std::string longText(254, ' ');
  longText += "12";
  ASSERT_EQ(SetPcfIntListAttrValueStr(&t.m, longText.c_str()), 1);
  ASSERT_EQ(GetPcfIntListAttrValue(&t.m, 0, &v), 1);
  EXPECT_EQ(v, 1);
}

TEST(PcfAttrLists, Integer64List) {
  Attr l;
  ASSERT_EQ(CreatePcfInt64ListAttr(&l.m, 1, 0), 1);
  ASSERT_EQ(SetPcfInt64ListAttrValueStr(&l.m, "5000000000,-1"), 1);
  int64_t v = 0;
  ASSERT_EQ(GetPcfInt64ListAttrValue(&l.m, 0, &v), 1);
  EXPECT_EQ(v, 5000000000);
  int64_t sum = 1;
  ASSERT_EQ(GetPcfInt64ListAttrValueSum(&l.m, &sum), 1);
  EXPECT_EQ(sum, 5000000000);
  char out[32];
  ASSERT_EQ(GetPcfInt64ListAttrValueStr(&l.m, out, 32), 1);
  EXPECT_STREQ(out, "5000000000,-1");
  ASSERT_EQ(SetPcfInt64ListAttrValue(&l.m, -1, INT64_MIN), 1);
  ASSERT_EQ(SizePcfInt64ListAttr(&l.m, 4), 1);
  EXPECT_EQ(l.m.lMsgLength, 136 + 16 + 8 * 4);
  ASSERT_EQ(GetPcfInt64ListAttrValue(&l.m, 2, &v), 1);
  EXPECT_EQ(v, INT64_MIN);
  ASSERT_EQ(GetPcfInt64ListAttrValue(&l.m, 3, &v), 1);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(IsPcfInt64ListAttr(&l.m), 1);
  EXPECT_EQ(IsPcfIntListAttr(&l.m), 0);
}

TEST(PcfAttrLists, StringListFillAndGrowth) {
  Attr l;
  ASSERT_EQ(CreatePcfStrListAttr(&l.m, 3011, 2, 4), 1);
  ASSERT_EQ(SetPcfStrListAttrValue(&l.m, -1, "X"), 1);
  EXPECT_EQ(l.bytes(), pcftest::Image().words({6, 36, 3011, 0, 3, 4}).zeros(8).s("X   ").b);
  ASSERT_EQ(SetPcfStrListAttrValueWithFill(&l.m, 0, "AB", '\0'), 1);
  ASSERT_EQ(SetPcfStrListAttrValueWithLen(&l.m, 1, "ABCDEFG", 2, '*'), 1);
  EXPECT_EQ(l.bytes(), pcftest::Image().words({6, 36, 3011, 0, 3, 4}).s(std::string_view("AB\0\0AB**X   ", 12)).b);
  char out[8];
  ASSERT_EQ(GetPcfStrListAttrValue(&l.m, 1, out, 7), 1);
  EXPECT_STREQ(out, "AB**");
  ASSERT_EQ(GetPcfStrListAttrValue(&l.m, 1, out, 1), 1);
  EXPECT_STREQ(out, "A");
  EXPECT_EQ(GetPcfStrListAttrValue(&l.m, 3, out, 7), 0);
  // Longer text is cut to the element.
  ASSERT_EQ(SetPcfStrListAttrValue(&l.m, 5, "LONGNAME"), 1);
  ASSERT_EQ(GetPcfStrListAttrValue(&l.m, 5, out, 7), 1);
  EXPECT_STREQ(out, "LONG");
  ASSERT_EQ(SizePcfStrListAttr(&l.m, 2), 1);
  EXPECT_EQ(l.m.lMsgLength, 136 + 32);
  EXPECT_EQ(IsPcfStrListAttr(&l.m), 1);
}

TEST(PcfAttrLists, StringListSearch) {
  Attr l;
  ASSERT_EQ(CreatePcfStrListAttr(&l.m, 1, 0, 6), 1);
  for (const char* name : {"Q1", "Q22", "Q1"}) ASSERT_EQ(SetPcfStrListAttrValueWithFill(&l.m, -1, name, '\0'), 1);
  EXPECT_EQ(FindPcfStrListAttrValue(&l.m, "Q1"), 0);
  EXPECT_EQ(FindPcfStrListAttrValue(&l.m, "Q22"), 1);
  EXPECT_EQ(FindPcfStrListAttrValue(&l.m, "Q2"), -1);
  EXPECT_EQ(FindPcfStrListAttrValue(&l.m, nullptr), -1);
  Attr ints;
  ASSERT_EQ(CreatePcfIntListAttr(&ints.m, 1, 1), 1);
  EXPECT_EQ(FindPcfStrListAttrValue(&ints.m, "Q1"), -1);
}

TEST(PcfAttrLists, ByteStringList) {
  Attr l;
  ASSERT_EQ(CreatePcfByteStrListAttr(&l.m, 1, 1, 4), 1);
  ASSERT_EQ(SetPcfByteStrListAttrValue(&l.m, 0, "\x01\x02\x03\x04\x05", 5), 1);
  ASSERT_EQ(SetPcfByteStrListAttrValue(&l.m, 2, "\x09", 1), 1);
  unsigned char out[6] = {};
  ASSERT_EQ(GetPcfByteStrListAttrValue(&l.m, 0, out, 6), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "\x01\x02\x03\x04");
  ASSERT_EQ(GetPcfByteStrListAttrValue(&l.m, 2, out, 2), 1);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(GetPcfByteStrListAttrValue(&l.m, 3, out, 2), 0);
  ASSERT_EQ(SizePcfByteStrListAttr(&l.m, 1), 1);
  EXPECT_EQ(IsPcfByteStrListAttr(&l.m), 1);
  EXPECT_EQ(l.m.lMsgLength, 136 + 28);
}

TEST(PcfAttrLists, ViewsCannotGrow) {
  // A list copied out of a message is an owning record and grows; a view into a message
  // does not own its bytes and refuses to grow.
  Attr l;
  ASSERT_EQ(CreatePcfIntListAttr(&l.m, 1, 1), 1);
  MESSAGE view{};
  view.pData = l.m.pData;
  view.lMsgLength = view.lMaxLength = 20;
  EXPECT_EQ(SetPcfIntListAttrValue(&view, 0, 4), 1);
  EXPECT_EQ(SetPcfIntListAttrValue(&view, 1, 4), 0);
  EXPECT_EQ(SetPcfStrListAttrValue(&view, 0, "x"), 0);
}

}  // namespace
