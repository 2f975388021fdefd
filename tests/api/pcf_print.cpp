// PCF listings and dumps, checked against expected text in tests/data/api/print/ with the
// date and addresses masked.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstring>
#include <string>

#include "vrqapi.h"
#include "vrqtest.h"

namespace {

std::string Masked(const std::string& text) {
  std::string t = vrqtest::Mask(text, "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}",
                                "<date>");
  return vrqtest::Mask(t, "(pMsg|pBuf) [0-9a-f]+ hex", "$1 <addr> hex");
}

// Appends a built attribute to msg and deletes the record.
void Add(PcfMessage* msg, MESSAGE& attr) {
  ASSERT_EQ(AppendAttr(msg, &attr), 1);
  DeleteMessage(&attr);
}

std::string Listing(PcfMessage* msg) {
  vrqtest::CaptureStdout out;
  EXPECT_EQ(PrintPcfMessage(msg), 1);
  return Masked(out.text());
}

}  // namespace

TEST(PcfPrint, HeaderExtensionAndIntegerBlocks) {
  PcfMessage* msg = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 64);
  MESSAGE attr{};
  CreatePcfIntAttr(&attr, MQIACF_COMMAND_INFO, 5);
  Add(msg, attr);
  ASSERT_EQ(RawToPcf(msg), 1);
  EXPECT_EQ(Listing(msg), vrqtest::DataFile("api/print/int_message.txt"));
  DeletePcfMessage(msg);
}

TEST(PcfPrint, EveryPrintableStructureType) {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q, MQCFT_RESPONSE, 1024);
  msg->pPcfHdr->CompCode = MQCC_WARNING;
  msg->pPcfHdr->Reason = MQRCCF_NONE_FOUND;
  std::memcpy(msg->Ext.Author, "admin", 5);
  MESSAGE a{};
  CreatePcfStrAttr(&a, MQCA_Q_NAME, "APP.QUEUE");
  Add(msg, a);
  CreatePcfIntListAttr(&a, MQIACF_Q_ATTRS, 0);
  SetPcfIntListAttrValueStr(&a, "1009,-3");
  Add(msg, a);
  CreatePcfStrListAttr(&a, MQCACF_Q_NAMES, 2, 6);
  SetPcfStrListAttrValue(&a, 0, "Q.A");
  SetPcfStrListAttrValue(&a, 1, "Q.LONG");
  Add(msg, a);
  CreatePcfIntFltrAttr(&a, MQIA_CURRENT_Q_DEPTH, MQCFOP_GREATER, 100);
  Add(msg, a);
  CreatePcfStrFltrAttr(&a, MQCA_Q_DESC, MQCFOP_LIKE, "PAY*");
  Add(msg, a);
  const unsigned char id[5] = {0x41, 0x00, 0x7F, 0xC1, 0x20};
  CreatePcfByteStrAttr(&a, MQBACF_CONNECTION_ID, id, 5);
  Add(msg, a);
  CreatePcfByteStrListAttr(&a, 20050, 2, 3);
  SetPcfByteStrListAttrValue(&a, 0, "abc", 3);
  SetPcfByteStrListAttrValue(&a, 1, "\x01\x02", 2);
  Add(msg, a);
  CreatePcfInt64Attr(&a, MQIAMO64_BROWSE_BYTES, 1LL << 40);
  Add(msg, a);
  CreatePcfInt64ListAttr(&a, MQIAMO64_GET_BYTES, 2);
  SetPcfInt64ListAttrValue(&a, 0, -1);
  SetPcfInt64ListAttrValue(&a, 1, 9000000000LL);
  Add(msg, a);
  CreatePcfBinAttr(&a, 20060, "\xDE\xAD\xBE\xEF", 4);
  Add(msg, a);
  PcfMessage* inner = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 0);
  CreatePcfPcfAttr(&a, 20061, inner);
  DeletePcfMessage(inner);
  Add(msg, a);
  CreatePcfGroupAttr(&a, MQGACF_Q_STATISTICS_DATA);
  MESSAGE member{};
  CreatePcfIntAttr(&member, MQIA_MSG_ENQ_COUNT, 17);
  AppendAttrToGroup(&a, &member);
  DeleteMessage(&member);
  CreatePcfStrAttr(&member, MQCA_Q_MGR_NAME, "QM1");
  AppendAttrToGroup(&a, &member);
  DeleteMessage(&member);
  Add(msg, a);
  ASSERT_EQ(RawToPcf(msg), 1);
  EXPECT_EQ(Listing(msg), vrqtest::DataFile("api/print/all_types.txt"));
  DeletePcfMessage(msg);
}

TEST(PcfPrint, UnprintableStructureStopsTheListingWithADump) {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q, MQCFT_COMMAND, 256);
  MESSAGE a{};
  CreatePcfStrAttr(&a, MQCA_Q_NAME, "Q1");
  Add(msg, a);
  CreatePcfByteStrFltrAttr(&a, MQBACF_CONNECTION_ID, "\x01\x02", 2, MQCFOP_EQUAL);
  Add(msg, a);
  CreatePcfIntAttr(&a, MQIA_Q_TYPE, MQQT_LOCAL);
  Add(msg, a);
  RawToPcf(msg);
  EXPECT_EQ(Listing(msg), vrqtest::DataFile("api/print/byte_string_filter.txt"));
  DeletePcfMessage(msg);
}

TEST(PcfPrint, AttributeWhoseWordsDisagreeWithItsLength) {
  MESSAGE a{};
  CreatePcfIntListAttr(&a, MQIACF_Q_ATTRS, 2);
  const int32_t huge = 1 << 28;
  std::memcpy(a.pData + 12, &huge, 4);  // Count no longer matches StrucLength
  vrqtest::CaptureStdout out;
  EXPECT_EQ(PrintPcfAttr(&a), 0);
  EXPECT_EQ(out.text(), "\nUNKNOWN PCF Attribute(5): unable to print\n");
  DeleteMessage(&a);
  EXPECT_EQ(PrintPcfAttr(nullptr), 0);
  EXPECT_EQ(PrintPcfExt(nullptr), 0);
  EXPECT_EQ(PrintPcfMessage(nullptr), 0);
}

TEST(PcfPrint, HexDumpLinesAndShortMessageDump) {
  unsigned char bytes[20];
  for (int i = 0; i < 20; ++i) bytes[i] = static_cast<unsigned char>(i < 16 ? 'A' + i : i);
  bytes[3] = ' ';
  std::string text;
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(DumpHexMessage(bytes, 20), 0);
    text = Masked(out.text());
  }
  EXPECT_EQ(text,
            "\n<date>\n DumpHexMessage: pBuf <addr> hex, Length=20...\n"
            "00000000 41 42 43 20 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 ABC.EFGHIJKLMNOP\n"
            "00000010 10 11 12 13 ");

  PcfMessage* msg = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 0);
  msg->PcfMsg.lMsgLength = MDHDR_LENGTH;
  std::memcpy(msg->PcfMsg.MsgDesc.ReplyToQMgr, "QM1   ", 6);
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(DumpPcfMessage(msg), 1);
    text = Masked(out.text());
  }
  EXPECT_EQ(text, vrqtest::DataFile("api/print/dump_empty.txt"));
  DeletePcfMessage(msg);
}
