// Exact bytes of every structure the attribute families write, against images written by
// hand from IBM's PCF layouts: Type, StrucLength, Parameter, the type's own words, data
// and zero padding to a multiple of 4; and the MQCFH of a new message.
#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>

#include "pcf_test_util.h"

namespace {

using pcftest::Attr;
using pcftest::Image;

TEST(PcfAttrLayout, IntegerStructures) {
  Attr in, in64, fltr, list, list64;
  ASSERT_EQ(CreatePcfIntAttr(&in.m, MQIA_CURRENT_Q_DEPTH, -7), 1);
  EXPECT_EQ(in.bytes(), Image().words({3, 16, 3, -7}).b);

  ASSERT_EQ(CreatePcfInt64Attr(&in64.m, 9, int64_t{0x0102030405060708}), 1);
  EXPECT_EQ(in64.bytes(), Image().words({23, 24, 9, 0}).w64(0x0102030405060708).b);

  ASSERT_EQ(CreatePcfIntFltrAttr(&fltr.m, 3, MQCFOP_NOT_EQUAL, 42), 1);
  EXPECT_EQ(fltr.bytes(), Image().words({13, 20, 3, MQCFOP_NOT_EQUAL, 42}).b);

  ASSERT_EQ(CreatePcfIntListAttr(&list.m, MQIACF_Q_ATTRS, 2), 1);
  ASSERT_EQ(SetPcfIntListAttrValue(&list.m, 1, 2016), 1);
  EXPECT_EQ(list.bytes(), Image().words({5, 24, MQIACF_Q_ATTRS, 2, 0, 2016}).b);

  ASSERT_EQ(CreatePcfInt64ListAttr(&list64.m, 8, 1), 1);
  ASSERT_EQ(SetPcfInt64ListAttrValue(&list64.m, 0, -2), 1);
  EXPECT_EQ(list64.bytes(), Image().words({25, 24, 8, 1}).w64(-2).b);
}

TEST(PcfAttrLayout, StringsArePaddedToFourBytes) {
  Attr q1, q4, empty, nz;
  ASSERT_EQ(CreatePcfStrAttr(&q1.m, MQCA_Q_NAME, "Q1"), 1);
  EXPECT_EQ(q1.bytes(), Image().words({4, 24, 2016, 0, 2}).s("Q1").zeros(2).b);
  ASSERT_EQ(CreatePcfStrAttr(&q4.m, MQCA_Q_NAME, "ABCD"), 1);
  EXPECT_EQ(q4.bytes(), Image().words({4, 24, 2016, 0, 4}).s("ABCD").b);
  ASSERT_EQ(CreatePcfStrAttr(&empty.m, MQCA_Q_NAME, ""), 1);
  EXPECT_EQ(empty.bytes(), Image().words({4, 20, 2016, 0, 0}).b);
  // Counted bytes may hold a zero byte.
  ASSERT_EQ(CreatePcfNZStrAttr(&nz.m, 1, "a\0b", 3), 1);
  EXPECT_EQ(nz.bytes(), Image().words({4, 24, 1, 0, 3}).s(std::string_view("a\0b", 3)).zeros(1).b);
}

TEST(PcfAttrLayout, ListsAndFilters) {
  Attr sl, sl1, sf, bl;
  ASSERT_EQ(CreatePcfStrListAttr(&sl.m, 3011, 3, 48), 1);
  EXPECT_EQ(sl.bytes(), Image().words({6, 168, 3011, 0, 3, 48}).zeros(144).b);
  ASSERT_EQ(CreatePcfStrListAttr(&sl1.m, 7, 1, 5), 1);
  EXPECT_EQ(sl1.bytes(), Image().words({6, 32, 7, 0, 1, 5}).zeros(8).b);

  ASSERT_EQ(CreatePcfStrFltrAttr(&sf.m, MQCA_Q_NAME, MQCFOP_LIKE, "SYS*"), 1);
  EXPECT_EQ(sf.bytes(), Image().words({14, 28, 2016, MQCFOP_LIKE, 0, 4}).s("SYS*").b);

  ASSERT_EQ(CreatePcfByteStrListAttr(&bl.m, 5, 2, 3), 1);
  ASSERT_EQ(SetPcfByteStrListAttrValue(&bl.m, 1, "\x01\x02\x03", 3), 1);
  EXPECT_EQ(bl.bytes(), Image().words({997, 32, 5, 0, 2, 3}).zeros(3).s("\x01\x02\x03").zeros(2).b);
}

TEST(PcfAttrLayout, ByteStructures) {
  const unsigned char five[] = {1, 2, 3, 4, 5};
  Attr bs, bf, bin, group;
  ASSERT_EQ(CreatePcfByteStrAttr(&bs.m, MQBACF_GENERIC_CONNECTION_ID, five, 5), 1);
  EXPECT_EQ(bs.bytes(), Image().words({9, 24, 7007, 5}).s("\x01\x02\x03\x04\x05").zeros(3).b);

  // The byte-string filter keeps its operator.
  ASSERT_EQ(CreatePcfByteStrFltrAttr(&bf.m, 7007, five, 2, MQCFOP_EQUAL), 1);
  EXPECT_EQ(bf.bytes(), Image().words({15, 24, 7007, MQCFOP_EQUAL, 2}).s("\x01\x02").zeros(2).b);

  ASSERT_EQ(CreatePcfBinAttr(&bin.m, 77, five, 5), 1);
  EXPECT_EQ(bin.bytes(), Image().words({999, 28, 77, 0, 5}).s("\x01\x02\x03\x04\x05").zeros(3).b);

  ASSERT_EQ(CreatePcfGroupAttr(&group.m, MQGACF_Q_STATISTICS_DATA), 1);
  EXPECT_EQ(group.bytes(), Image().words({20, 16, 8011, 0}).b);
}

TEST(PcfAttrLayout, EmbeddedMessageAndGroupWithMembers) {
  pcftest::Msg inner(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 0);
  Attr pcf, group, member;
  ASSERT_EQ(CreatePcfPcfAttr(&pcf.m, 12, inner.p), 1);
  EXPECT_EQ(pcf.bytes(), Image().words({998, 56, 12, 0, 36}).add(pcftest::Header(1, 40, 0).b).b);

  ASSERT_EQ(CreatePcfGroupAttr(&group.m, 8011), 1);
  ASSERT_EQ(CreatePcfIntAttr(&member.m, 3, 5), 1);
  ASSERT_EQ(AppendAttrToGroup(&group.m, &member.m), 1);
  ASSERT_EQ(AppendAttrToGroup(&group.m, &member.m), 1);
  // The group header keeps StrucLength 16; ParameterCount counts the members behind it.
  EXPECT_EQ(group.bytes(), Image().words({20, 16, 8011, 2, 3, 16, 3, 5, 3, 16, 3, 5}).b);
}

TEST(PcfAttrLayout, NewMessageHeaderAndDescriptor) {
  pcftest::Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 100);
  ASSERT_NE(msg.p, nullptr);
  EXPECT_EQ(msg.bytes(), pcftest::Header(1, 13, 0).b);
  EXPECT_EQ(msg->lKind, 6);
  EXPECT_EQ(msg->PcfMsg.lMaxLength, 136 + 36 + 100);
  EXPECT_EQ(std::string(msg->PcfMsg.MsgDesc.Format, 8), "MQADMIN ");
  EXPECT_EQ(msg->PcfMsg.MsgDesc.MsgType, MQMT_REQUEST);
  EXPECT_EQ(reinterpret_cast<char*>(msg->pPcfHdr), msg->PcfMsg.pData);
  EXPECT_EQ(msg->Ext.StrucLength, 32);
  EXPECT_EQ(msg->Ext.Version, 1);
  EXPECT_EQ(msg->Ext.Author[0], ' ');
  EXPECT_EQ(msg->Ext.Author[1], '\0');
  EXPECT_EQ(msg->pNext, nullptr);
}

}  // namespace
