// MQNode wire images: what a node writes in the plain and the signed form, byte for byte,
// and what it reads from a peer of the other byte order and character set.
#include <cmqc.h>
#include <cmqcfc.h>

#include "mq_node_test.h"
#include "vrqsign.h"

namespace {

using namespace nodetest;

std::string Field(const char* text, size_t width) { return std::string(text, strnlen(text, width)); }

std::string Body(Pcf& msg) {
  return std::string(msg->PcfMsg.pData, static_cast<size_t>(msg->PcfMsg.lMsgLength - MDHDR_LENGTH));
}

void FillInquiry(Pcf& msg) {
  msg.AddString(MQCA_Q_NAME, "QUEUE.ONE");
  msg.AddInt(MQIA_Q_TYPE, 1);
}

TEST(MqNodeWire, PlainImageIsHeaderAndBodyInLocalForm) {
  RawPair pair;
  Pcf msg(MQCMD_INQUIRE_Q);
  FillInquiry(msg);
  const std::string body = Body(msg);
  ASSERT_EQ(mnWrite(msg.m, pair.node.get()), 1);
  EXPECT_EQ(pair.node->lLastError, 0);
  EXPECT_EQ(pair.node->ulWritten, 1u);

  const MQNode& n = *pair.node;
  const std::string header = Header(false, false, static_cast<uint32_t>(body.size()), Field(n.szUserId, 12),
                                    Field(n.szApplName, MQNODE_APPL_NAME_SIZE));
  EXPECT_EQ(pair.Receive(header.size() + body.size()), header + body);
}

TEST(MqNodeWire, SignedImageIsExtensionAndScrambledPlainImage) {
  RawPair pair;
  uint32_t* signature = nullptr;
  ASSERT_EQ(sgx_get_signature(&signature), 1);
  Pcf msg(MQCMD_INQUIRE_Q);
  FillInquiry(msg);
  ASSERT_EQ(mnSWrite(msg.m, pair.node.get(), 1, signature), 1);

  const MQNode& n = *pair.node;
  std::string plain = Header(false, false, static_cast<uint32_t>(Body(msg).size()), Field(n.szUserId, 12),
                             Field(n.szApplName, MQNODE_APPL_NAME_SIZE)) + Body(msg);
  Image ext(false);
  ext.Word(32).Word(1).Word(0).Word(1).Word(static_cast<uint32_t>(plain.size())).Text(Field(n.szUserId, 12), 12, false);
  EncryptMsg(plain.data(), static_cast<int>(plain.size()), *signature);
  EXPECT_EQ(pair.Receive(32 + plain.size()), ext.b + plain);
  sgx_release_signature(&signature);
}

TEST(MqNodeWire, NodeToNodePlainAndSigned) {
  NodePair pair;
  uint32_t* signature = nullptr;
  ASSERT_EQ(sgx_get_signature(&signature), 1);
  for (int is_signed : {0, 1}) {
    Pcf out(MQCMD_INQUIRE_Q);
    FillInquiry(out);
    ASSERT_EQ(mnSWrite(out.m, pair.client.get(), is_signed, signature), 1);
    Pcf in(MQCMD_PING_Q_MGR, 0);
    ASSERT_EQ(mnSRead(in.m, pair.peer.get(), is_signed), 1) << "signed " << is_signed;
    EXPECT_EQ(in->pPcfHdr->Command, MQCMD_INQUIRE_Q);
    EXPECT_EQ(in.String(MQCA_Q_NAME), "QUEUE.ONE");
    EXPECT_EQ(in.Int(MQIA_Q_TYPE), 1);
    EXPECT_EQ(Field(in->Ext.Author, 12), Field(pair.client->szUserId, 12));
    EXPECT_EQ(Field(in->PcfMsg.pMdHdr->ApplName, 48), Field(pair.client->szApplName, 48));
  }
  EXPECT_EQ(pair.peer->ulRead, 2u);
  sgx_release_signature(&signature);
}

// A command as a big-endian EBCDIC machine writes it: MQCFH, a string, an integer, a
// string list and an integer list.
std::string AlienBody() {
  Image b(true);
  b.Word(MQCFT_COMMAND).Word(36).Word(1).Word(MQCMD_INQUIRE_Q).Word(1).Word(MQCFC_LAST).Word(0).Word(0).Word(4);
  b.Word(MQCFT_STRING).Word(32).Word(MQCA_Q_NAME).Word(500).Word(12).Text("QUEUE.ONE", 12, true, ' ');
  b.Word(MQCFT_INTEGER).Word(16).Word(MQIA_Q_TYPE).Word(1);
  b.Word(MQCFT_STRING_LIST).Word(40).Word(MQCACF_Q_NAMES).Word(500).Word(2).Word(8);
  b.Text("ALPHA", 8, true, ' ').Text("BETA", 8, true, ' ');
  b.Word(MQCFT_INTEGER_LIST).Word(24).Word(MQIACF_Q_ATTRS).Word(2).Word(7).Word(static_cast<uint32_t>(-2));
  return b.b;
}

void ExpectAlienContent(Pcf& in) {
  EXPECT_EQ(in->pPcfHdr->Command, MQCMD_INQUIRE_Q);
  EXPECT_EQ(in->pPcfHdr->ParameterCount, 4);
  EXPECT_EQ(in.String(MQCA_Q_NAME).substr(0, 9), "QUEUE.ONE");
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 1);
  MESSAGE list{};
  ASSERT_EQ(GetAttrByID(MQCACF_Q_NAMES, &list, in.m), 1);
  char text[16] = {};
  ASSERT_EQ(GetPcfStrListAttrValue(&list, 1, text, sizeof text), 1);
  EXPECT_EQ(std::string(text).substr(0, 4), "BETA");
  DeleteMessage(&list);
  ASSERT_EQ(GetAttrByID(MQIACF_Q_ATTRS, &list, in.m), 1);
  int value = 0;
  ASSERT_EQ(GetPcfIntListAttrValue(&list, 1, &value), 1);
  EXPECT_EQ(value, -2);
  DeleteMessage(&list);
}

TEST(MqNodeWire, BigEndianEbcdicPeerIsReadAsNativeValues) {
  RawPair pair;
  const std::string body = AlienBody();
  pair.Send(Header(true, true, static_cast<uint32_t>(body.size()), "MQUSER", "PEERAPP") + body);
  Pcf in(MQCMD_PING_Q_MGR, 0);
  ASSERT_EQ(mnRead(in.m, pair.node.get()), 1) << pair.node->lLastError;
  EXPECT_EQ(in->PcfMsg.pMdHdr->StrucLength, 136);
  EXPECT_EQ(in->PcfMsg.pMdHdr->lUserMsgLength, static_cast<MQLONG>(body.size()));
  EXPECT_EQ(Field(in->PcfMsg.pMdHdr->UserId, 12), "MQUSER");
  EXPECT_EQ(Field(in->PcfMsg.pMdHdr->ApplName, 48), "PEERAPP");
  EXPECT_EQ(Field(in->Ext.Author, 12), "MQUSER");
  ExpectAlienContent(in);
}

TEST(MqNodeWire, BigEndianEbcdicPeerSignedMessage) {
  RawPair pair;
  uint32_t* signature = nullptr;
  ASSERT_EQ(sgx_get_signature(&signature), 1);
  const std::string body = AlienBody();
  std::string plain = Header(true, true, static_cast<uint32_t>(body.size()), "MQUSER", "PEERAPP") + body;
  EncryptMsg(plain.data(), static_cast<int>(plain.size()), *signature);
  Image ext(true);
  ext.Word(32).Word(1).Word(1).Word(0).Word(static_cast<uint32_t>(plain.size())).Text("MQUSER", 12, true);
  pair.Send(ext.b + plain);
  Pcf in(MQCMD_PING_Q_MGR, 0);
  ASSERT_EQ(mnSRead(in.m, pair.node.get(), 1), 1) << pair.node->lLastError;
  EXPECT_EQ(in->Ext.StrucLength, 32);
  EXPECT_EQ(in->Ext.UserMsgLength, static_cast<MQLONG>(plain.size()));
  EXPECT_EQ(Field(in->Ext.Author, 12), "MQUSER");
  ExpectAlienContent(in);
  sgx_release_signature(&signature);
}

TEST(MqNodeWire, AltUserWriteKeepsHeaderUserOrFillsBlankOne) {
  NodePair pair;
  Pcf out(MQCMD_PING_Q_MGR);
  std::memcpy(out->PcfMsg.pMdHdr->UserId, "ALTUSER     ", 12);
  ASSERT_EQ(mnSWriteAltUser(out.m, pair.client.get(), 0, nullptr), 1);
  std::memset(out->PcfMsg.pMdHdr->UserId, ' ', 12);
  ASSERT_EQ(mnSWriteAltUserHigh(out.m, pair.client.get(), 0, nullptr), 1);
  Pcf in(MQCMD_PING_Q_MGR, 0);
  ASSERT_EQ(mnRead(in.m, pair.peer.get()), 1);
  EXPECT_EQ(Field(in->PcfMsg.pMdHdr->UserId, 12), "ALTUSER     ");
  ASSERT_EQ(mnRead(in.m, pair.peer.get()), 1);
  EXPECT_EQ(Field(in->PcfMsg.pMdHdr->UserId, 12), Field(pair.client->szUserId, 12));
}

TEST(MqNodeWire, SignedWriteWithoutSignatureIsRefused) {
  NodePair pair;
  Pcf out(MQCMD_PING_Q_MGR);
  EXPECT_EQ(mnSWrite(out.m, pair.client.get(), 1, nullptr), 0);
  EXPECT_EQ(pair.client->lLastError, MQNODE_SIGN_FAILED);
  EXPECT_EQ(mnWrite(nullptr, pair.client.get()), 0);
  EXPECT_EQ(pair.client->lLastError, MQNODE_INVALID);
  EXPECT_EQ(pair.client->ulWritten, 0u);
}

}  // namespace
