// The PCF message object: type mappings, building with AppendAttr (version rules and the
// parameter limit), reading back by position and identifier, reset/size/copy with the
// chain, the command-name table and the serialised file form.
#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>

#include "alloc_interpose.h"
#include "pcf_test_util.h"
#include "vrqtest.h"

namespace {
int g_fail_at = 0;  // the allocation (counted from 1) that fails; 0 for none
}

bool TestAllocationFails(void*, std::size_t) { return g_fail_at > 0 && --g_fail_at == 0; }

namespace {

using pcftest::Attr;
using pcftest::Msg;

constexpr int kVersionAt = 8;
constexpr int kCountAt = 32;

TEST(PcfMessage, TypeMappings) {
  EXPECT_EQ(SetPcfType(MQCFT_XR_ITEM), MQCFT_RESPONSE);
  EXPECT_EQ(SetPcfType(MQCFT_XR_MSG), MQCFT_RESPONSE);
  EXPECT_EQ(SetPcfType(MQCFT_EVENT), MQCFT_EVENT);
  EXPECT_EQ(PcfToMsgType(MQCFT_COMMAND_XR), MQMT_REQUEST);
  EXPECT_EQ(PcfToMsgType(MQCFT_XR_SUMMARY), MQMT_REPLY);
  EXPECT_EQ(PcfToMsgType(MQCFT_REPORT), MQMT_REPORT);
  EXPECT_EQ(PcfToMsgType(MQCFT_EVENT), MQMT_DATAGRAM);
  EXPECT_EQ(SetPcfVersion(3), 3);

  Msg xr(MQCMD_INQUIRE_Q, MQCFT_XR_ITEM, 0);
  EXPECT_EQ(xr.word(0), MQCFT_RESPONSE);
  EXPECT_EQ(xr->PcfMsg.MsgDesc.MsgType, MQMT_REPLY);
}

TEST(PcfMessage, CommandNames) {
  EXPECT_STREQ(PcfIdToName(40), "MQCMD_PING_Q_MGR");
  EXPECT_STREQ(PcfIdToName(161), "MQCMD_INQUIRE_Q_MGR_STATUS");
  EXPECT_STREQ(PcfIdToName(169), "MQCMD_INQUIRE_AUTH_SERVICE");
  EXPECT_STREQ(PcfIdToName(10014), "EXCMD_MQSC_SCRIPT");
  EXPECT_STREQ(PcfIdToName(10026), "EXCMD_INQUIRE_CHANNEL_STATUS_CACHE");
  EXPECT_STREQ(PcfIdToName(8001), "EXCMD_ALTER_EVENT");
  EXPECT_STREQ(PcfIdToName(9999), "UNKNOWN");
  EXPECT_STREQ(PcfIdToName(0), "UNKNOWN");
  EXPECT_STREQ(PcfIdToName(-1), "UNKNOWN");
}

TEST(PcfMessage, AppendRaisesVersionAndReadsBack) {
  Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 0);
  Attr name, bytes, depth, filter;
  ASSERT_EQ(CreatePcfStrAttr(&name.m, MQCA_Q_NAME, "SYSTEM.*"), 1);
  ASSERT_EQ(CreatePcfByteStrAttr(&bytes.m, 7007, "\x01\x02", 2), 1);
  ASSERT_EQ(CreatePcfIntAttr(&depth.m, MQIA_CURRENT_Q_DEPTH, 4), 1);
  ASSERT_EQ(CreatePcfStrFltrAttr(&filter.m, 2016, MQCFOP_LIKE, "A*"), 1);

  ASSERT_EQ(AppendAttr(msg.p, &name.m), 1);
  EXPECT_EQ(msg.word(kVersionAt), 1);
  ASSERT_EQ(AppendAttr(msg.p, &bytes.m), 1);
  EXPECT_EQ(msg.word(kVersionAt), 2);
  ASSERT_EQ(AppendAttr(msg.p, &filter.m), 1);
  EXPECT_EQ(msg.word(kVersionAt), 3);
  ASSERT_EQ(AppendAttr(msg.p, &depth.m), 1);
  EXPECT_EQ(msg.word(kVersionAt), 3);
  EXPECT_EQ(msg.word(kCountAt), 4);
  EXPECT_EQ(msg.length(), 36 + 28 + 20 + 28 + 16);

  ASSERT_EQ(RawToPcf(msg.p), 1);
  Attr out;
  int position = -1;
  ASSERT_EQ(GetAttrByIDRetPos(MQIA_CURRENT_Q_DEPTH, &out.m, msg.p, &position), 1);
  EXPECT_EQ(position, 4);
  int value = 0;
  EXPECT_EQ(GetPcfIntAttrValue(&out.m, &value), 1);
  EXPECT_EQ(value, 4);
  ASSERT_EQ(GetAttrByPos(1, &out.m, msg.p), 1);
  char text[16];
  EXPECT_EQ(GetPcfStrAttrValue(&out.m, text, 15), 1);
  EXPECT_STREQ(text, "SYSTEM.*");
  ASSERT_EQ(GetAttrByPos(0, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes().size(), 36u);

  // Nothing there: 0, and a miss by identifier leaves out as it was.
  EXPECT_EQ(GetAttrByPos(5, &out.m, msg.p), 0);
  EXPECT_EQ(GetAttrByPos(-1, &out.m, msg.p), 0);
  ASSERT_EQ(GetAttrByPos(2, &out.m, msg.p), 1);
  EXPECT_EQ(GetAttrByID(12345, &out.m, msg.p), 0);
  EXPECT_EQ(GetPcfAttrType(&out.m), MQCFT_BYTE_STRING);
}

TEST(PcfMessage, ParameterLimitKeepsEveryParameterIndexable) {
  Msg msg(MQCMD_CHANGE_Q, MQCFT_COMMAND, 0);
  Attr a;
  ASSERT_EQ(CreatePcfIntAttr(&a.m, 1, 0), 1);
  for (int i = 0; i < 149; ++i) ASSERT_EQ(AppendAttr(msg.p, &a.m), 1) << i;
  // A 150th parameter could not be indexed, so it is refused.
  EXPECT_EQ(AppendAttr(msg.p, &a.m), 0);
  EXPECT_EQ(msg.word(kCountAt), 149);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  EXPECT_EQ(msg.length(), 36 + 149 * 16);
  Attr out;
  EXPECT_EQ(GetAttrByPos(149, &out.m, msg.p), 1);
}

TEST(PcfMessage, IndexFollowsTheBlockWhenAppendingMovesIt) {
  Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 0);
  Attr name, big;
  ASSERT_EQ(CreatePcfStrAttr(&name.m, MQCA_Q_NAME, "Q1"), 1);
  ASSERT_EQ(AppendAttr(msg.p, &name.m), 1);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  ASSERT_EQ(CreatePcfStrListAttr(&big.m, 3011, 100, 48), 1);
  const char* before = msg->PcfMsg.pData;
  ASSERT_EQ(AppendAttr(msg.p, &big.m), 1);
  ASSERT_NE(msg->PcfMsg.pData, before);
  // Without re-indexing, the old entries still read the right bytes; the new one is not
  // indexed yet.
  Attr out;
  ASSERT_EQ(GetAttrByPos(1, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes(), name.bytes());
  EXPECT_EQ(GetAttrByPos(2, &out.m, msg.p), 0);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  ASSERT_EQ(GetAttrByPos(2, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes(), big.bytes());
}

// Copying a parameter of a message into the same message: the source moves with the
// block when the message grows, and its Type still decides the header's Version.
TEST(PcfMessage, AppendingItsOwnParameterCopiesIt) {
  Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 0);
  Attr big, bytes;
  const std::string text(300 * 1024, 'T');
  ASSERT_EQ(CreatePcfStrAttr(&big.m, MQCACF_ESCAPE_TEXT, text.c_str()), 1);
  ASSERT_EQ(CreatePcfByteStrAttr(&bytes.m, 7007, "\x01\x02\x03", 3), 1);
  ASSERT_EQ(AppendAttr(msg.p, &bytes.m), 1);
  ASSERT_EQ(AppendAttr(msg.p, &big.m), 1);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  msg.set(kVersionAt, 1);  // as if the byte string had come from elsewhere

  ASSERT_EQ(AppendAttr(msg.p, &msg->Attrs[2]), 1);  // big enough to move the block
  ASSERT_EQ(AppendAttr(msg.p, &msg->Attrs[1]), 1);
  EXPECT_EQ(msg.word(kVersionAt), 2);
  EXPECT_EQ(msg.word(kCountAt), 4);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  Attr out;
  ASSERT_EQ(GetAttrByPos(3, &out.m, msg.p), 1);
  EXPECT_TRUE(out.bytes() == big.bytes());
  ASSERT_EQ(GetAttrByPos(4, &out.m, msg.p), 1);
  EXPECT_EQ(out.bytes(), bytes.bytes());
}

TEST(PcfMessage, ResetSizeAndCopyWithChain) {
  Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 8);
  Attr a;
  ASSERT_EQ(CreatePcfIntAttr(&a.m, 1, 1), 1);
  ASSERT_EQ(AppendAttr(msg.p, &a.m), 1);
  msg->pNext = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_RESPONSE, 4);
  ASSERT_NE(msg->pNext, nullptr);
  ASSERT_EQ(AppendAttr(msg->pNext, &a.m), 1);

  Msg copy(0, MQCFT_COMMAND, 0);
  copy->pNext = CreatePcfMessage(1, 1, 0);  // replaced by the copy
  ASSERT_EQ(CopyPcfMessage(msg.p, copy.p), 1);
  EXPECT_EQ(copy.bytes(), msg.bytes());
  ASSERT_NE(copy->pNext, nullptr);
  EXPECT_EQ(copy->pNext->PcfMsg.lMsgLength, msg->pNext->PcfMsg.lMsgLength);
  EXPECT_EQ(0, std::memcmp(copy->pNext->PcfMsg.pData, msg->pNext->PcfMsg.pData, 52));
  EXPECT_EQ(copy->pNext->pNext, nullptr);
  EXPECT_EQ(CopyPcfMessage(msg.p, msg.p), 1);
  EXPECT_EQ(msg.length(), 52);
  EXPECT_EQ(CopyPcfMessage(nullptr, copy.p), 0);

  ASSERT_EQ(ResetPcfMessage(msg.p, MQCMD_PING_Q_MGR, MQCFT_REPORT), 1);
  EXPECT_EQ(msg->pNext, nullptr);
  EXPECT_EQ(msg.bytes(), pcftest::Header(MQCFT_REPORT, 40, 0).b);
  EXPECT_EQ(msg->PcfMsg.MsgDesc.MsgType, MQMT_REPORT);

  msg.set(0, MQCFT_RESPONSE);
  msg.set(28, 2085);
  ASSERT_EQ(SizePcfMessage(msg.p, 1000), 1);
  EXPECT_EQ(msg->PcfMsg.lMaxLength, 136 + 36 + 1000);
  EXPECT_EQ(msg.bytes(), pcftest::Header(MQCFT_RESPONSE, 40, 0).b);
  EXPECT_EQ(ResetPcfBuffer(msg.p), msg.p);
  EXPECT_EQ(DeletePcfMessage(nullptr), 0);
}

TEST(PcfMessage, RefusesBadArguments) {
  EXPECT_EQ(CreatePcfMessage(1, 1, -1), nullptr);
  EXPECT_EQ(AppendAttr(nullptr, nullptr), 0);
  Msg msg(1, 1, 0);
  MESSAGE empty{};
  EXPECT_EQ(AppendAttr(msg.p, &empty), 0);
  EXPECT_EQ(GetAttrByPos(0, nullptr, msg.p), 0);
  EXPECT_EQ(GetPcfAttrType(&empty), 0);
  EXPECT_EQ(SizePcfMessage(msg.p, -5), 0);
  EXPECT_EQ(RawToPcf(nullptr), 0);
}

TEST(PcfMessage, SerialiseAndDeserialise) {
  vrqtest::TempDir dir;
  Msg msg(MQCMD_CREATE_Q, MQCFT_COMMAND, 0);
  Attr s, i, l;
  ASSERT_EQ(CreatePcfStrAttr(&s.m, MQCA_Q_NAME, "APP.QUEUE"), 1);
  ASSERT_EQ(CreatePcfIntAttr(&i.m, 20, 1), 1);
  ASSERT_EQ(CreatePcfIntListAttr(&l.m, 1002, 3), 1);
  for (MESSAGE* a : {&s.m, &i.m, &l.m}) ASSERT_EQ(AppendAttr(msg.p, a), 1);
  const std::string path = dir.file("q.pcf");
  ASSERT_EQ(SerializePcfMessage(msg.p, path.c_str()), 1);
  EXPECT_EQ(vrqtest::ReadFile(path), std::string(msg->PcfMsg.pData, msg.length()));

  Msg back(DeserializePcfMessage(path.c_str()));
  ASSERT_NE(back.p, nullptr);
  EXPECT_EQ(back.bytes(), msg.bytes());
  EXPECT_EQ(back.word(kCountAt), 3);
  EXPECT_EQ(back->PcfMsg.lMsgLength, 136 + msg.length());

  // Bytes past the indexed structures are ignored.
  vrqtest::WriteFile(path, std::string(msg->PcfMsg.pData, msg.length()) + "tail");
  Msg longer(DeserializePcfMessage(path.c_str()));
  ASSERT_NE(longer.p, nullptr);
  EXPECT_EQ(longer.bytes(), msg.bytes());

  // Empty, missing, cut short and unwritable give failures.
  vrqtest::WriteFile(path, "");
  EXPECT_EQ(DeserializePcfMessage(path.c_str()), nullptr);
  EXPECT_EQ(DeserializePcfMessage(dir.file("none").c_str()), nullptr);
  vrqtest::WriteFile(path, std::string(msg->PcfMsg.pData, msg.length() - 4));
  PcfMessage* cut = nullptr;
  {
    vrqtest::CaptureStdout quiet;
    cut = DeserializePcfMessage(path.c_str());
  }
  EXPECT_EQ(cut, nullptr);
  EXPECT_EQ(SerializePcfMessage(msg.p, dir.file("no/such/dir").c_str()), 0);
}

}  // namespace

namespace {

TEST(PcfMessage, AllocationFailuresLeaveThingsAsTheyWere) {
  PcfMessage* noObject = nullptr;
  PcfMessage* noBlock = nullptr;
  {
    vrqtest::CaptureStdout quiet;
    g_fail_at = 1;  // the object
    noObject = CreatePcfMessage(1, 1, 0);
    g_fail_at = 2;  // its block: the object is released again (the leak checker watches)
    noBlock = CreatePcfMessage(1, 1, 0);
  }
  EXPECT_EQ(noObject, nullptr);
  EXPECT_EQ(noBlock, nullptr);

  Msg msg(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 0);
  Attr big;
  ASSERT_EQ(CreatePcfStrListAttr(&big.m, 1, 10, 48), 1);
  const std::vector<uint8_t> before = msg.bytes();
  g_fail_at = 1;
  EXPECT_EQ(AppendAttr(msg.p, &big.m), 0);
  EXPECT_EQ(msg.bytes(), before);

  ASSERT_EQ(AppendAttr(msg.p, &big.m), 1);
  ASSERT_EQ(RawToPcf(msg.p), 1);
  Attr out;
  ASSERT_EQ(CreatePcfIntAttr(&out.m, 1, 1), 1);
  g_fail_at = 1;  // growing out for the 504-byte list
  EXPECT_EQ(GetAttrByPos(1, &out.m, msg.p), 0);
  g_fail_at = 1;
  EXPECT_EQ(SetPcfStrListAttrValue(&big.m, 10, "X"), 0);
  EXPECT_EQ(big.m.lMsgLength, 136 + 504);
  g_fail_at = 0;
}

}  // namespace
