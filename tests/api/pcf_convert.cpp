// Conversion of received headers and PCF bytes written by a machine of the other byte
// order and character set, and the walk's behaviour on structures that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <cmqc.h>
#include <cmqcfc.h>

#include "pcf_convert_wire.h"
#include "vrqapi.h"
#include "vrqtest.h"

using pcfwire::Writer;

namespace {

// The same message as a big-endian EBCDIC sender and as this machine would write it.
void WriteSample(Writer& w, bool big, bool ebcdic) {
  w.Cfh(MQCFT_RESPONSE, MQCMD_INQUIRE_Q, 13);
  w.Str(MQCA_Q_NAME, "APP.QUEUE.1");
  w.Int(MQIA_Q_TYPE, MQQT_LOCAL);
  w.IntList(MQIACF_Q_ATTRS, {MQIACF_ALL, -7});
  w.StrList(MQCACF_Q_NAMES, {"Q.A", "Q|B", "LINE\nC"}, 8);
  w.Int64(MQIAMO64_BROWSE_BYTES, 0x0102030405060708LL);
  w.Int64List(MQIAMO64_GET_BYTES, {-2, 1LL << 40});
  w.IntFilter(MQIA_CURRENT_Q_DEPTH, MQCFOP_GREATER, 1000);
  w.StrFilter(MQCA_Q_DESC, MQCFOP_LIKE, "PAY*");
  w.ByteStr(MQBACF_CONNECTION_ID, {0xC1, 0x00, 0x25, 0xFF, 0x41});
  w.Group(MQGACF_Q_STATISTICS_DATA, 2);
  w.Int(MQIA_MSG_ENQ_COUNT, 17);
  w.Str(MQCA_Q_MGR_NAME, "QM1");
  w.Int(MQIACF_COMMAND_INFO, 9);
  Writer inner(big, ebcdic);
  inner.Cfh(MQCFT_COMMAND, MQCMD_PING_Q_MGR, 1);
  inner.Int(MQIACF_ESCAPE_TYPE, 1);
  w.Embedded(20001, inner.bytes());
  w.Int(MQIA_MAX_Q_DEPTH, 5000);
}

std::vector<unsigned char> Sample(bool big, bool ebcdic) {
  Writer w(big, ebcdic);
  WriteSample(w, big, ebcdic);
  return w.bytes();
}

// Offset of the first differing byte (or of the shorter end), -1 when equal: a readable
// failure for long byte sequences.
long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<long>(i);
  }
  return a.size() == b.size() ? -1 : static_cast<long>(n);
}

}  // namespace

TEST(PcfConvert, BigEndianEbcdicMessageBecomesTheLocalOne) {
  const std::vector<unsigned char> local = Sample(false, false);
  std::vector<unsigned char> alien = Sample(true, true);
  ASSERT_EQ(alien.size(), local.size());
  ASSERT_NE(alien, local);
  std::string report;
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(AlienPcfBufferToNative(alien.data(), 1, 1, 1, static_cast<int>(alien.size())), 1);
    report = out.text();
  }
  EXPECT_EQ(report, "");
  EXPECT_EQ(FirstDifference(alien, local), -1);
}

TEST(PcfConvert, SwapOnlyAndTextOnly) {
  const std::vector<unsigned char> local = Sample(false, false);
  std::vector<unsigned char> big = Sample(true, false);
  AlienPcfBufferToNative(big.data(), 1, 0, 1, static_cast<int>(big.size()));
  EXPECT_EQ(FirstDifference(big, local), -1);
  std::vector<unsigned char> ebcdic = Sample(false, true);
  AlienPcfBufferToNative(ebcdic.data(), 0, 1, 1, static_cast<int>(ebcdic.size()));
  EXPECT_EQ(FirstDifference(ebcdic, local), -1);
}

TEST(PcfConvert, WalkStopsAfterAnnouncedStructures) {
  // MQCFH announces 2: a group of 2 members and one more parameter, then a trailing
  // structure that must stay untouched.
  Writer w(true, false);
  w.Cfh(MQCFT_RESPONSE, MQCMD_INQUIRE_Q_STATUS, 2);
  w.Group(MQGACF_Q_STATISTICS_DATA, 2);
  w.Int(1, 11);
  w.Int(2, 22);
  w.Int(3, 33);
  const size_t trailer = w.bytes().size();
  w.Int(4, 44);
  std::vector<unsigned char> bytes = w.bytes();
  AlienPcfBufferToNative(bytes.data(), 1, 0, 1, static_cast<int>(bytes.size()));
  Writer expected(false, false);
  expected.Cfh(MQCFT_RESPONSE, MQCMD_INQUIRE_Q_STATUS, 2);
  expected.Group(MQGACF_Q_STATISTICS_DATA, 2);
  expected.Int(1, 11);
  expected.Int(2, 22);
  expected.Int(3, 33);
  ASSERT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(trailer)),
            expected.bytes());
  Writer untouched(true, false);
  untouched.Int(4, 44);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + static_cast<long>(trailer), bytes.end()),
            untouched.bytes());
}

TEST(PcfConvert, UnknownTypeIsReportedAndSkipped) {
  Writer w(true, false);
  w.Cfh(MQCFT_COMMAND, 1, 2);
  for (int32_t v : {77, 12, 5}) w.Word(v);
  w.Int(7, 8);
  std::vector<unsigned char> bytes = w.bytes();
  vrqtest::CaptureStdout out;
  AlienPcfBufferToNative(bytes.data(), 1, 0, 1, static_cast<int>(bytes.size()));
  EXPECT_EQ(out.text(), "AlienPcfBufferToNative: UNKNOWN PCF Type 77 at Offset 48 (MsgLen: 64)\n");
  int32_t value;
  std::memcpy(&value, bytes.data() + 60, 4);
  EXPECT_EQ(value, 8);
}

TEST(PcfConvert, LengthsThatRunPastTheirStructureConvertNothingOutside) {
  // A string claiming 200 characters inside a 24-byte structure, followed by a canary
  // string: only the structure's own 4 text bytes are converted.
  Writer w(false, true);
  w.Cfh(MQCFT_COMMAND, 1, 2);
  for (int32_t v : {4, 24, MQCA_Q_NAME, 0, 200}) w.Word(v);
  w.Text("ABCD", 4);
  w.Str(MQCA_Q_DESC, "KEEP");
  std::vector<unsigned char> bytes = w.bytes();
  AlienPcfBufferToNative(bytes.data(), 0, 1, 1, static_cast<int>(bytes.size()));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data()) + 56, 4), "ABCD");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data()) + 80, 4), "KEEP");

  // An integer list claiming 1000 values in a 20-byte structure swaps only its one value.
  Writer l(true, false);
  l.Cfh(MQCFT_COMMAND, 1, 1);
  for (int32_t v : {5, 20, MQIACF_Q_ATTRS, 1000, 0x01020304}) l.Word(v);
  l.Word(0x0A0B0C0D);  // outside the structure and the walk
  std::vector<unsigned char> list = l.bytes();
  AlienPcfBufferToNative(list.data(), 1, 0, 1, static_cast<int>(list.size()));
  int32_t first, after;
  std::memcpy(&first, list.data() + 52, 4);
  std::memcpy(&after, list.data() + 56, 4);
  EXPECT_EQ(first, 0x01020304);
  EXPECT_EQ(after, static_cast<int32_t>(0x0D0C0B0A));
}

TEST(PcfConvert, StructureThatDoesNotFitEndsTheWalk) {
  struct Case {
    std::vector<int32_t> words;
    const char* report;
  };
  const std::vector<Case> cases = {
      {{3, 0, 1, 2}, "AlienPcfBufferToNative: PCF Type 3 at Offset 36 does not fit (StrucLength 0, MsgLen: 52)\n"},
      {{3, 8, 1, 2}, "AlienPcfBufferToNative: PCF Type 3 at Offset 36 does not fit (StrucLength 8, MsgLen: 52)\n"},
      {{4, 400, 1, 2}, "AlienPcfBufferToNative: PCF Type 4 at Offset 36 does not fit (StrucLength 400, MsgLen: 52)\n"},
      {{77, -4, 1, 2}, "AlienPcfBufferToNative: PCF Type 77 at Offset 36 does not fit (StrucLength -4, MsgLen: 52)\n"},
  };
  for (const Case& c : cases) {
    Writer w(true, false);
    w.Cfh(MQCFT_COMMAND, 1, 5);
    for (int32_t v : c.words) w.Word(v);
    std::vector<unsigned char> bytes = w.bytes();
    vrqtest::CaptureStdout out;
    EXPECT_EQ(AlienPcfBufferToNative(bytes.data(), 1, 0, 1, static_cast<int>(bytes.size())), 1);
    EXPECT_EQ(out.text(), c.report);
  }
  // Fewer than 8 bytes left where a structure is expected.
  Writer w(false, false);
  w.Cfh(MQCFT_COMMAND, 1, 1);
  w.Word(3);
  vrqtest::CaptureStdout out;
  AlienPcfBufferToNative(w.bytes().data(), 0, 0, 1, w.size());
  EXPECT_EQ(out.text(), "AlienPcfBufferToNative: 4 bytes at Offset 36 too short for a PCF structure (MsgLen: 40)\n");
}

TEST(PcfConvert, DeeplyNestedEmbeddedPcfIsBounded) {
  Writer leaf(false, false);
  leaf.Cfh(MQCFT_COMMAND, 1, 0);
  std::vector<unsigned char> pcf = leaf.bytes();
  for (int level = 0; level < 40; ++level) {
    Writer w(false, false);
    w.Cfh(MQCFT_COMMAND, 1, 1);
    w.Embedded(20001, pcf);
    pcf = w.bytes();
  }
  vrqtest::CaptureStdout out;
  AlienPcfBufferToNative(pcf.data(), 0, 1, 1, static_cast<int>(pcf.size()));
  EXPECT_EQ(out.text(), "AlienPcfBufferToNative: embedded PCF nested too deep, left unconverted\n");
}

TEST(PcfConvert, HeaderFromBigEndianEbcdicSender) {
  MESSAGE msg{};
  ASSERT_EQ(CreateMessage(&msg, 64), 1);
  MDHDR* hdr = msg.pMdHdr;
  hdr->StrucLength = static_cast<MQLONG>(bwlong(136));
  hdr->lReserved1 = static_cast<MQLONG>(bwlong(5));
  hdr->lByteOrder = static_cast<MQLONG>(bwlong(1));
  hdr->lTextCode = 0;
  hdr->lUserMsgLength = static_cast<MQLONG>(bwlong(64));
  hdr->lHdrMark = static_cast<MQLONG>(bwlong(1));
  std::memset(hdr->MsgId, 0xC1, sizeof hdr->MsgId);
  char appl[48] = "NODE.A";
  char user[12] = "mqm";
  TextConvert(appl, hdr->ApplName, 48, 0);
  TextConvert(user, hdr->UserId, 12, 0);

  EXPECT_EQ(AlienToNative(&msg), 1);
  EXPECT_EQ(hdr->StrucLength, 136);
  EXPECT_EQ(hdr->lReserved1, 5);
  EXPECT_EQ(hdr->lByteOrder, 1);  // flags keep the writer's values
  EXPECT_EQ(hdr->lTextCode, 0);
  EXPECT_EQ(hdr->lUserMsgLength, 64);
  EXPECT_EQ(hdr->lHdrMark, 1);
  EXPECT_STREQ(hdr->ApplName, "NODE.A");
  EXPECT_EQ(std::string(hdr->UserId, 3), "mqm");
  EXPECT_EQ(hdr->MsgId[0], 0xC1);  // identifiers are bytes: untouched
  DeleteMessage(&msg);

  MESSAGE empty{};
  EXPECT_EQ(AlienToNative(&empty), 0);
  EXPECT_EQ(AlienToNative(nullptr), 0);
}

TEST(PcfConvert, ExtensionFromBigEndianEbcdicSender) {
  MSHDRE ext{};
  ext.StrucLength = static_cast<MQLONG>(bwlong(32));
  ext.Version = 1;  // not swapped
  ext.Encoding = static_cast<MQLONG>(bwlong(1));
  ext.CharSet = 0;
  ext.UserMsgLength = static_cast<MQLONG>(bwlong(400));
  TextConvert("ADMIN", ext.Author, 5, 0);
  EXPECT_EQ(AlienToNativeExt(&ext), 1);
  EXPECT_EQ(ext.StrucLength, 32);
  EXPECT_EQ(ext.Version, 1);
  EXPECT_EQ(ext.UserMsgLength, 400);
  EXPECT_EQ(std::string(ext.Author, 5), "ADMIN");

  MSHDRE local{32, 1, 0, 1, 10, {'A'}};
  EXPECT_EQ(AlienToNativeExt(&local), 1);
  EXPECT_EQ(local.Author[0], 'A');
  EXPECT_EQ(AlienToNativeExt(nullptr), 0);
}

namespace {

// A PcfMessage holding bytes as a sender of the given kind put them on the wire, with
// the MDHDR flags already in local order (AlienToNative has run).
PcfMessage* Received(const std::vector<unsigned char>& bytes, int byteOrder, int textCode) {
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, 0);
  const int length = static_cast<int>(bytes.size());
  EXPECT_EQ(SizePcfMessage(msg, length), 1);
  std::memcpy(msg->PcfMsg.pData, bytes.data(), bytes.size());
  msg->PcfMsg.lMsgLength = MDHDR_LENGTH + length;
  msg->PcfMsg.pMdHdr->lUserMsgLength = length;
  msg->PcfMsg.pMdHdr->lByteOrder = byteOrder;
  msg->PcfMsg.pMdHdr->lTextCode = textCode;
  return msg;
}

}  // namespace

TEST(PcfConvert, ReceivedMessageReadsBackWithTheSameValues) {
  PcfMessage* msg = Received(Sample(true, true), 1, 0);
  ASSERT_EQ(AlienPcfToNative(msg), 1);
  EXPECT_EQ(msg->PcfMsg.pMdHdr->lByteOrder, 0);
  EXPECT_EQ(msg->PcfMsg.pMdHdr->lTextCode, 0);  // the text flag keeps the writer's value
  ASSERT_EQ(RawToPcf(msg), 1);
  EXPECT_EQ(msg->pPcfHdr->Command, MQCMD_INQUIRE_Q);
  EXPECT_EQ(msg->pPcfHdr->ParameterCount, 13);

  MESSAGE a{};
  char text[64];
  ASSERT_EQ(GetAttrByID(MQCA_Q_NAME, &a, msg), 1);
  GetPcfStrAttrValue(&a, text, 63);
  EXPECT_STREQ(text, "APP.QUEUE.1");
  ASSERT_EQ(GetAttrByID(MQCACF_Q_NAMES, &a, msg), 1);
  GetPcfStrListAttrValue(&a, 2, text, 8);
  EXPECT_EQ(std::string(text, 6), "LINE\nC");
  ASSERT_EQ(GetAttrByID(MQIACF_Q_ATTRS, &a, msg), 1);
  int value = 0;
  GetPcfIntListAttrValue(&a, 1, &value);
  EXPECT_EQ(value, -7);
  ASSERT_EQ(GetAttrByID(MQIA_CURRENT_Q_DEPTH, &a, msg), 1);
  int op = 0;
  GetPcfIntFltrAttrValue(&a, &value, &op);
  EXPECT_EQ(op, MQCFOP_GREATER);
  EXPECT_EQ(value, 1000);
  ASSERT_EQ(GetAttrByID(MQCA_Q_DESC, &a, msg), 1);
  GetPcfStrFltrAttrValue(&a, text, 63, &op);
  EXPECT_EQ(op, MQCFOP_LIKE);
  EXPECT_STREQ(text, "PAY*");
  ASSERT_EQ(GetAttrByID(MQIAMO64_GET_BYTES, &a, msg), 1);
  int64_t big = 0;
  GetPcfInt64ListAttrValue(&a, 1, &big);
  EXPECT_EQ(big, 1LL << 40);
  ASSERT_EQ(GetAttrByID(MQIA_MAX_Q_DEPTH, &a, msg), 1);
  GetPcfIntAttrValue(&a, &value);
  EXPECT_EQ(value, 5000);
  DeleteMessage(&a);
  DeletePcfMessage(msg);
}

TEST(PcfConvert, ReceivedLengthNeverExceedsTheHeldBytes) {
  std::vector<unsigned char> bytes = Sample(true, false);
  PcfMessage* msg = Received(bytes, 1, 1);
  msg->PcfMsg.pMdHdr->lUserMsgLength = 1 << 30;  // a lying header
  ASSERT_EQ(AlienPcfToNative(msg), 1);
  ASSERT_EQ(RawToPcf(msg), 1);
  DeletePcfMessage(msg);
  EXPECT_EQ(AlienPcfToNative(nullptr), 0);
}
