// Getters and setters of the single-value families: integers, strings, string filters,
// byte strings, byte-string filters, binary data and embedded PCF messages; the type
// tests; and what every getter does with a record that fails the check.
#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>

#include "pcf_test_util.h"

namespace {

using pcftest::Attr;
using pcftest::Msg;

TEST(PcfAttrValues, IntegersAndFilters) {
  Attr in, in64, fltr;
  ASSERT_EQ(CreatePcfIntAttr(&in.m, 3, 1), 1);
  ASSERT_EQ(SetPcfIntAttrValue(&in.m, -9), 1);
  int v = 0;
  ASSERT_EQ(GetPcfIntAttrValue(&in.m, &v), 1);
  EXPECT_EQ(v, -9);

  ASSERT_EQ(CreatePcfInt64Attr(&in64.m, 3, 1), 1);
  ASSERT_EQ(SetPcfInt64AttrValue(&in64.m, INT64_MIN), 1);
  int64_t v64 = 0;
  ASSERT_EQ(GetPcfInt64AttrValue(&in64.m, &v64), 1);
  EXPECT_EQ(v64, INT64_MIN);

  ASSERT_EQ(CreatePcfIntFltrAttr(&fltr.m, 3, MQCFOP_EQUAL, 5), 1);
  ASSERT_EQ(SetPcfIntFltrAttrValue(&fltr.m, 6, MQCFOP_NOT_EQUAL), 1);
  int op = 0;
  ASSERT_EQ(GetPcfIntFltrAttrValue(&fltr.m, &v, &op), 1);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(op, MQCFOP_NOT_EQUAL);
  ASSERT_EQ(GetPcfFilterOperator(&fltr.m, &op), 1);
  EXPECT_EQ(op, MQCFOP_NOT_EQUAL);
  EXPECT_EQ(GetPcfFilterOperator(&in.m, &op), 0);

  // Each type test answers for its own type only.
  EXPECT_EQ(IsPcfIntAttr(&in.m), 1);
  EXPECT_EQ(IsPcfIntAttr(&in64.m), 0);
  EXPECT_EQ(IsPcfInt64Attr(&in64.m), 1);
  EXPECT_EQ(IsPcfIntFltrAttr(&fltr.m), 1);
  EXPECT_EQ(IsPcfStrAttr(&in.m), 0);
  EXPECT_EQ(GetPcfInt64AttrValue(&in.m, &v64), 0);
}

TEST(PcfAttrValues, StringsKeepTheirRoom) {
  Attr s;
  ASSERT_EQ(CreatePcfStrAttr(&s.m, 2016, "ABCDE"), 1);
  EXPECT_EQ(s.m.lMsgLength, 136 + 28);
  char out[16];
  ASSERT_EQ(GetPcfStrAttrValue(&s.m, out, 3), 1);
  EXPECT_STREQ(out, "ABC");
  ASSERT_EQ(GetPcfStrAttrValue(&s.m, out, 15), 1);
  EXPECT_STREQ(out, "ABCDE");
  // Shorter text is zero-filled, longer text cut; the lengths stay.
  ASSERT_EQ(SetPcfStrAttrValue(&s.m, "XY"), 1);
  EXPECT_EQ(s.bytes(), pcftest::Image().words({4, 28, 2016, 0, 5}).s("XY").zeros(6).b);
  ASSERT_EQ(SetPcfStrAttrValue(&s.m, "LONGER TEXT"), 1);
  ASSERT_EQ(GetPcfStrAttrValue(&s.m, out, 15), 1);
  EXPECT_STREQ(out, "LONGE");
  EXPECT_EQ(GetPcfStrAttrValue(&s.m, out, -1), 0);

  Attr f;
  ASSERT_EQ(CreatePcfStrFltrAttr(&f.m, 2016, MQCFOP_LIKE, "AB*"), 1);
  int op = 0;
  ASSERT_EQ(GetPcfStrFltrAttrValue(&f.m, out, 15, &op), 1);
  EXPECT_STREQ(out, "AB*");
  EXPECT_EQ(op, MQCFOP_LIKE);
  ASSERT_EQ(SetPcfStrFltrAttrValue(&f.m, "Q", MQCFOP_EQUAL), 1);
  ASSERT_EQ(GetPcfStrFltrAttrValue(&f.m, out, 15, &op), 1);
  EXPECT_EQ(std::string(out, 3), std::string("Q\0\0", 3));
  EXPECT_EQ(op, MQCFOP_EQUAL);
  ASSERT_EQ(GetPcfFilterOperator(&f.m, &op), 1);
  EXPECT_EQ(op, MQCFOP_EQUAL);
}

TEST(PcfAttrValues, ByteStringsAndFilters) {
  const unsigned char data[] = {9, 8, 7, 6, 5};
  Attr b;
  ASSERT_EQ(CreatePcfByteStrAttr(&b.m, 7007, data, 5), 1);
  int length = 0;
  ASSERT_EQ(GetPcfByteStrAttrValueLength(&b.m, &length), 1);
  EXPECT_EQ(length, 5);
  unsigned char out[8] = {};
  length = 3;
  ASSERT_EQ(GetPcfByteStrAttrValue(&b.m, out, &length), 1);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(out[2], 7);
  const unsigned char two[] = {1, 2, 3, 4, 5, 6, 7};
  ASSERT_EQ(SetPcfByteStrAttrValue(&b.m, two, 7), 1);
  length = 8;
  ASSERT_EQ(GetPcfByteStrAttrValue(&b.m, out, &length), 1);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(out[4], 5);

  Attr f;
  ASSERT_EQ(CreatePcfByteStrFltrAttr(&f.m, 7007, data, 4, MQCFOP_NOT_EQUAL), 1);
  EXPECT_EQ(IsPcfByteStrFltrAttr(&f.m), 1);
  int op = 0;
  length = 8;
  ASSERT_EQ(GetPcfByteStrFltrAttrValue(&f.m, out, &length, &op), 1);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(op, MQCFOP_NOT_EQUAL);
  ASSERT_EQ(SetPcfByteStrFltrAttrValue(&f.m, two, 2, MQCFOP_EQUAL), 1);
  ASSERT_EQ(GetPcfByteStrFltrAttrValue(&f.m, out, &length, &op), 1);
  EXPECT_EQ(op, MQCFOP_EQUAL);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 7);
  ASSERT_EQ(GetPcfFilterOperator(&f.m, &op), 1);
}

TEST(PcfAttrValues, BinaryReadsItsSiblings) {
  const unsigned char data[] = {1, 2, 3};
  Attr bin, s, bs;
  ASSERT_EQ(CreatePcfBinAttr(&bin.m, 1, data, 3), 1);
  ASSERT_EQ(CreatePcfStrAttr(&s.m, 1, "text"), 1);
  ASSERT_EQ(CreatePcfByteStrAttr(&bs.m, 1, data, 2), 1);
  unsigned char out[8] = {};
  int length = 8;
  ASSERT_EQ(GetPcfBinAttrValue(&bin.m, out, &length), 1);
  EXPECT_EQ(length, 3);
  length = 8;
  ASSERT_EQ(GetPcfBinAttrValue(&s.m, out, &length), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), length), "text");
  length = 8;
  ASSERT_EQ(GetPcfBinAttrValue(&bs.m, out, &length), 1);
  EXPECT_EQ(length, 2);
  // The setter works on binary data only.
  EXPECT_EQ(SetPcfBinAttrValue(&s.m, data, 1), 0);
  ASSERT_EQ(SetPcfBinAttrValue(&bin.m, "\x07", 1), 1);
  length = 8;
  ASSERT_EQ(GetPcfBinAttrValue(&bin.m, out, &length), 1);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(IsPcfBinAttr(&bin.m), 1);
  EXPECT_EQ(IsPcfBinAttr(&s.m), 0);
}

TEST(PcfAttrValues, EmbeddedMessageRoundTrip) {
  Msg inner(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 0);
  Attr name, pcf;
  ASSERT_EQ(CreatePcfStrAttr(&name.m, 2016, "Q.IN"), 1);
  ASSERT_EQ(AppendAttr(inner.p, &name.m), 1);
  ASSERT_EQ(CreatePcfPcfAttr(&pcf.m, 5, inner.p), 1);
  EXPECT_EQ(IsPcfPcfAttr(&pcf.m), 1);
  Msg target(0, MQCFT_COMMAND, 0);
  ASSERT_EQ(GetPcfPcfAttrValue(&pcf.m, target.p), 1);
  EXPECT_EQ(target.bytes(), inner.bytes());
  ASSERT_EQ(RawToPcf(target.p), 1);
  Attr out;
  ASSERT_EQ(GetAttrByID(2016, &out.m, target.p), 1);
  EXPECT_EQ(out.bytes(), name.bytes());
}

TEST(PcfAttrValues, RecordsThatFailTheCheck) {
  Attr s;
  ASSERT_EQ(CreatePcfStrAttr(&s.m, 2016, "ABCDE"), 1);
  // The record length no longer matches StrucLength.
  s.m.lMsgLength -= 2;
  char out[8];
  EXPECT_EQ(IsPcfStrAttr(&s.m), 0);
  EXPECT_EQ(GetPcfStrAttrValue(&s.m, out, 7), 0);
  EXPECT_EQ(SetPcfStrAttrValue(&s.m, "X"), 0);
  s.m.lMsgLength += 2;

  Attr in;
  ASSERT_EQ(CreatePcfIntAttr(&in.m, 1, 1), 1);
  int32_t twenty = 20;
  std::memcpy(in.m.pData + 4, &twenty, 4);
  int v = 0;
  EXPECT_EQ(GetPcfIntAttrValue(&in.m, &v), 0);

  // Records holding nothing, or too little to read a Type and StrucLength.
  MESSAGE none{};
  EXPECT_EQ(IsPcfIntAttr(&none), 0);
  EXPECT_EQ(IsPcfIntAttr(nullptr), 0);
  MESSAGE view{};
  char four[4] = {3, 0, 0, 0};
  view.pData = four;
  view.lMsgLength = view.lMaxLength = 4;
  EXPECT_EQ(GetPcfIntAttrValue(&view, &v), 0);
  EXPECT_EQ(GetPcfAttrType(&view), 3);
  view.lMsgLength = -8;
  EXPECT_EQ(GetPcfAttrType(&view), 0);

  // Bad arguments to creators.
  Attr bad;
  EXPECT_EQ(CreatePcfStrAttr(&bad.m, 1, nullptr), 0);
  EXPECT_EQ(CreatePcfNZStrAttr(&bad.m, 1, "x", -1), 0);
  EXPECT_EQ(CreatePcfByteStrAttr(&bad.m, 1, nullptr, 4), 0);
  EXPECT_EQ(CreatePcfPcfAttr(&bad.m, 1, nullptr), 0);
  EXPECT_EQ(CreatePcfIntAttr(nullptr, 1, 1), 0);
}

}  // namespace
