// Indexing received PCF bytes with RawToPcf: groups nested at any depth, the diagnostic
// lines, and hostile words (lengths and counts that are zero, negative, unaligned, past
// the data, or groups announcing members that are not there) which must give a failure
// without reading outside the message.
#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "pcf_test_util.h"
#include "vrqtest.h"

namespace {

using pcftest::Attr;
using pcftest::Header;
using pcftest::Image;
using pcftest::Msg;

// The time of day that starts each diagnostic line.
std::string MaskTime(const std::string& text) { return vrqtest::Mask(text, "\\d\\d:\\d\\d:\\d\\d", "hh:mm:ss"); }

Image IntParam(int32_t parameter, int32_t value) { return Image().words({3, 16, parameter, value}); }

TEST(PcfIndex, NestedGroupsAreIndexedWithAllTheirMembers) {
  // MQCFH, group(2 members: int, group(1 member: int)), int.
  Image bytes = Header(2, 13, 2);
  bytes.words({20, 16, 8011, 2}).add(IntParam(1, 10).b).words({20, 16, 8012, 1}).add(IntParam(2, 20).b);
  bytes.add(IntParam(3, 30).b);
  Msg msg(pcftest::MessageFromBytes(bytes.b));
  ASSERT_EQ(RawToPcf(msg.p), 1);
  EXPECT_EQ(msg.length(), 36 + 16 * 5);
  EXPECT_EQ(msg->Attrs[1].lMsgLength, 64);
  EXPECT_EQ(msg->Attrs[2].lMsgLength, 16);

  Attr group, member, inner;
  ASSERT_EQ(GetAttrByPos(1, &group.m, msg.p), 1);
  int count = 0;
  ASSERT_EQ(GetPcfGroupAttrCounter(&group.m, &count), 1);
  EXPECT_EQ(count, 2);
  // Position 1 of the outer group is the inner group with its member.
  ASSERT_EQ(GetGroupAttrByPos(1, &inner.m, &group.m), 1);
  EXPECT_EQ(inner.bytes().size(), 32u);
  ASSERT_EQ(GetGroupAttrByID(2, &member.m, &inner.m), 1);
  int value = 0;
  ASSERT_EQ(GetPcfIntAttrValue(&member.m, &value), 1);
  EXPECT_EQ(value, 20);
  EXPECT_EQ(GetGroupAttrByPos(2, &member.m, &group.m), 0);
  EXPECT_EQ(GetGroupAttrByID(99, &member.m, &group.m), 0);
  ASSERT_EQ(GetAttrByID(3, &member.m, msg.p), 1);
  ASSERT_EQ(GetPcfIntAttrValue(&member.m, &value), 1);
  EXPECT_EQ(value, 30);
}

TEST(PcfIndex, GroupsBuiltByTheLibraryReadBack) {
  Attr outer, inner, a;
  ASSERT_EQ(CreatePcfGroupAttr(&outer.m, 8011), 1);
  ASSERT_EQ(CreatePcfGroupAttr(&inner.m, 8012), 1);
  ASSERT_EQ(CreatePcfStrAttr(&a.m, 2016, "Q1"), 1);
  ASSERT_EQ(AppendAttrToGroup(&inner.m, &a.m), 1);
  ASSERT_EQ(AppendAttrToGroup(&outer.m, &inner.m), 1);
  ASSERT_EQ(AppendAttrToGroup(&outer.m, &a.m), 1);
  EXPECT_EQ(IsPcfGroupAttr(&outer.m), 1);
  Msg msg(MQCMD_INQUIRE_Q, MQCFT_RESPONSE, 0);
  ASSERT_EQ(AppendAttr(msg.p, &outer.m), 1);
  ASSERT_EQ(AppendAttr(msg.p, &a.m), 1);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  Attr out;
  ASSERT_EQ(GetAttrByPos(1, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes(), outer.bytes());
  ASSERT_EQ(GetAttrByPos(2, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes(), a.bytes());
}

// Runs RawToPcf with standard output captured; returns the result and the masked text.
std::pair<int, std::string> IndexQuietly(PcfMessage* msg) {
  vrqtest::CaptureStdout out;
  const int result = RawToPcf(msg);
  return {result, MaskTime(out.text())};
}

TEST(PcfIndex, DiagnosticLines) {
  // 200 parameters announced: cut to 149, then the second one is missing.
  Msg big(pcftest::MessageFromBytes(Header(1, 13, 200).add(IntParam(1, 1).b).b));
  EXPECT_EQ(IndexQuietly(big.p), std::make_pair(0, vrqtest::DataFile("api/pcf/index_truncated.txt")));
  EXPECT_EQ(big.word(32), 149);

  Msg over(pcftest::MessageFromBytes(Header(1, 13, 1).add(IntParam(1, 1).b).b));
  over->PcfMsg.lMaxLength -= 4;
  EXPECT_EQ(IndexQuietly(over.p), std::make_pair(0, vrqtest::DataFile("api/pcf/index_overflow_max.txt")));

  Image group = Header(1, 13, 1);
  group.words({20, 16, 8011, 3}).add(IntParam(1, 1).b);
  Msg under(pcftest::MessageFromBytes(group.b));
  EXPECT_EQ(IndexQuietly(under.p), std::make_pair(0, vrqtest::DataFile("api/pcf/index_group_underflow.txt")));
}

// Each case is a message of a header and one damaged parameter; all must fail cleanly.
TEST(PcfIndex, HostileWordsFailWithoutOverrun) {
  struct Case {
    const char* what;
    Image bytes;
  };
  std::vector<Case> cases = {
      {"length past the data", Header(1, 1, 1).words({3, 64, 1, 1})},
      {"negative length", Header(1, 1, 1).words({3, -16, 1, 1})},
      {"zero length", Header(1, 1, 1).words({3, 0, 1, 1})},
      {"unaligned length", Header(1, 1, 1).words({4, 21, 1, 0, 1}).s("abcd")},
      {"string length past its structure", Header(1, 1, 1).words({4, 24, 1, 0, 400}).s("abcd")},
      {"negative string length", Header(1, 1, 1).words({4, 24, 1, 0, -4}).s("abcd")},
      {"list count past its structure", Header(1, 1, 1).words({5, 20, 1, 9, 0})},
      {"string list overflowing count", Header(1, 1, 1).words({6, 24, 1, 0, 0x40000000, 0x40000000})},
      {"negative parameter count", Header(1, 1, -1)},
      {"parameter missing", Header(1, 1, 1)},
      {"header cut short", Image().words({1, 36, 1, 1})},
      {"header with wrong length", Image().words({1, 40, 1, 1, 1, 1, 0, 0, 0, 0})},
      {"parameter as header", IntParam(1, 1)},
      {"header as parameter", Header(1, 1, 1).add(Header(1, 1, 0).b)},
      {"unknown type", Header(1, 1, 1).words({11, 16, 1, 1})},
      {"group length not 16", Header(1, 1, 1).words({20, 20, 1, 0, 0})},
      {"group with negative count", Header(1, 1, 1).words({20, 16, 1, -1})},
      {"group announcing absent members", Header(1, 1, 1).words({20, 16, 1, 0x7fffffff})},
      {"nested group announcing absent members",
       Header(1, 1, 1).words({20, 16, 1, 1, 20, 16, 2, 1000})},
      {"member past the data", Header(1, 1, 1).words({20, 16, 1, 1, 3, 32, 1, 1})},
      {"invalid member", Header(1, 1, 1).words({20, 16, 1, 1, 3, 20, 1, 1, 0})},
      {"empty", Image()},
  };
  for (const Case& c : cases) {
    // Exactly the bytes given, in a block of exactly that size, so any read past them is
    // caught by the address sanitizer.
    Msg msg(pcftest::MessageFromBytes(c.bytes.b));
    ASSERT_NE(msg.p, nullptr);
    EXPECT_EQ(IndexQuietly(msg.p).first, 0) << c.what;
    Attr out;
    EXPECT_EQ(GetAttrByPos(1, &out.m, msg.p), 0) << c.what;
    EXPECT_EQ(GetAttrByID(1, &out.m, msg.p), 0) << c.what;
  }
}

TEST(PcfIndex, FailedIndexLeavesNoStaleEntries) {
  Msg msg(pcftest::MessageFromBytes(Header(1, 1, 2).add(IntParam(7, 1).b).add(IntParam(8, 2).b).b));
  ASSERT_EQ(RawToPcf(msg.p), 1);
  msg.set(36 + 16 + 4, 99);  // the second parameter's StrucLength now runs past the data
  EXPECT_EQ(IndexQuietly(msg.p).first, 0);
  Attr out;
  EXPECT_EQ(GetAttrByPos(1, &out.m, msg.p), 1);
  EXPECT_EQ(GetAttrByPos(2, &out.m, msg.p), 0);
  EXPECT_EQ(GetAttrByID(8, &out.m, msg.p), 0);
}

TEST(PcfIndex, ViewsOutsideTheDataAreRefused) {
  Msg msg(pcftest::MessageFromBytes(Header(1, 1, 1).add(IntParam(7, 1).b).b));
  ASSERT_EQ(RawToPcf(msg.p), 1);
  Attr out;
  // A caller that shortens the data or damages an entry gets a refusal, not a read
  // past the bytes.
  msg->Attrs[1].lMsgLength = 4096;
  EXPECT_EQ(GetAttrByPos(1, &out.m, msg.p), 0);
  msg->Attrs[1].lMsgLength = 16;
  msg->PcfMsg.lMsgLength -= 8;
  EXPECT_EQ(GetAttrByPos(1, &out.m, msg.p), 0);
  EXPECT_EQ(GetAttrByID(7, &out.m, msg.p), 0);
  msg->PcfMsg.lMsgLength += 8;
  EXPECT_EQ(GetAttrByID(7, &out.m, msg.p), 1);
}

TEST(PcfIndex, HostileGroupRecordsForGroupGetters) {
  // A group record whose count or members lie: getters stop at the record's end.
  Attr group;
  ASSERT_EQ(CreatePcfGroupAttr(&group.m, 1), 1);
  Attr member;
  ASSERT_EQ(CreatePcfIntAttr(&member.m, 5, 5), 1);
  ASSERT_EQ(AppendAttrToGroup(&group.m, &member.m), 1);
  int32_t lie = 1000;
  std::memcpy(group.m.pData + 12, &lie, 4);
  Attr out;
  EXPECT_EQ(GetGroupAttrByPos(1, &out.m, &group.m), 0);
  EXPECT_EQ(GetGroupAttrByID(6, &out.m, &group.m), 0);
  EXPECT_EQ(GetGroupAttrByPos(0, &out.m, &group.m), 1);
  lie = 64;
  std::memcpy(group.m.pData + 16 + 4, &lie, 4);  // member length past the record
  EXPECT_EQ(GetGroupAttrByPos(0, &out.m, &group.m), 0);
  EXPECT_EQ(GetGroupAttrByPos(0, &group.m, &group.m), 0);
}

}  // namespace
