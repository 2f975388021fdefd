// MQNode stream behaviour: messages in pieces, back to back and beyond the input buffer;
// hostile headers refused without losing the connection; partial writes queued, pushed
// through the writable list of mnNPost, and the pending-write limit.
#include <cmqc.h>
#include <cmqcfc.h>

#include "mq_node_test.h"
#include "vrqtest.h"

namespace {

using namespace nodetest;
using clnxtest::kWouldBlock;

// The plain image of a ping carrying one integer, as a little-endian ASCII peer writes it.
std::string PingImage(int value) {
  Pcf msg(MQCMD_PING_Q_MGR);
  msg.AddInt(MQIA_Q_TYPE, value);
  const std::string body(msg->PcfMsg.pData, static_cast<size_t>(msg->PcfMsg.lMsgLength - MDHDR_LENGTH));
  return Header(false, false, static_cast<uint32_t>(body.size()), "PEER", "APP") + body;
}

int ReadValue(MQNode* node) {
  Pcf in(MQCMD_PING_Q_MGR, 0);
  if (!mnRead(in.m, node)) return -1000 - node->lLastError;
  return in.Int(MQIA_Q_TYPE);
}

TEST(MqNodeStream, MessageInSmallPiecesIsDeliveredOnceComplete) {
  RawPair pair;
  ASSERT_EQ(NoblockSocket(&pair.node->Socket), 1);
  const std::string image = PingImage(7);
  Pcf in(MQCMD_PING_Q_MGR, 0);
  for (size_t at = 0; at < image.size(); at += 7) {
    pair.Send(image.substr(at, 7));
    ASSERT_TRUE(RawPair::WaitReadable(pair.node->Socket.iSocket));
    const bool last = at + 7 >= image.size();
    ASSERT_EQ(mnRead(in.m, pair.node.get()), last ? 1 : 0) << "at " << at;
    if (!last) {
      EXPECT_EQ(pair.node->lLastError, kWouldBlock);
    }
  }
  EXPECT_EQ(in.Int(MQIA_Q_TYPE), 7);
  EXPECT_EQ(pair.node->ulRead, 1u);
  EXPECT_EQ(mnRead(in.m, pair.node.get()), 0);
  EXPECT_EQ(pair.node->lLastError, kWouldBlock);
}

TEST(MqNodeStream, BackToBackMessagesTakeTwoReads) {
  RawPair pair;
  pair.Send(PingImage(1) + PingImage(2));
  EXPECT_EQ(ReadValue(pair.node.get()), 1);
  EXPECT_EQ(ReadValue(pair.node.get()), 2);
  ASSERT_EQ(NoblockSocket(&pair.node->Socket), 1);
  EXPECT_EQ(ReadValue(pair.node.get()), -1000 - kWouldBlock);
}

TEST(MqNodeStream, MessageLargerThanInputBufferGrowsIt) {
  NodePair pair;
  Pcf out(MQCMD_INQUIRE_Q, 30000);
  const std::string big(20000, 'Q');
  out.AddString(MQCA_Q_DESC, big);
  ASSERT_GT(out->PcfMsg.lMsgLength, MQNODE_INPUT_SIZE);
  ASSERT_EQ(mnWrite(out.m, pair.client.get()), 1);
  Pcf in(MQCMD_PING_Q_MGR, 0);
  ASSERT_EQ(mnRead(in.m, pair.peer.get()), 1);
  EXPECT_EQ(in.String(MQCA_Q_DESC), big);
  EXPECT_GE(pair.peer->InBuf.lSize, out->PcfMsg.lMsgLength);
}

TEST(MqNodeStream, HostileHeadersAreRefusedAndConnectionStaysUsable) {
  RawPair pair;
  struct Case {
    std::string bytes;
    int error;
  };
  std::string wrong_word = Header(false, false, 0, "PEER", "APP");
  wrong_word[0] = 'x';
  const std::vector<Case> cases = {
      {Header(false, false, 0x7FFFFFFF, "PEER", "APP"), MQNODE_BAD_HEADER},      // 2^31 - 1 body
      {Header(true, false, 0x80000000u, "PEER", "APP"), MQNODE_BAD_HEADER},      // negative body
      {Header(false, false, MQNODE_MAX_BODY + 1, "PEER", "APP"), MQNODE_BAD_HEADER},
      {wrong_word, MQNODE_BAD_HEADER},
      {Header(false, false, 0, "PEER", "APP"), MQNODE_BAD_BODY},                 // empty body: no PCF
  };
  int value = 10;
  for (const Case& c : cases) {
    pair.Send(c.bytes + PingImage(value));
    EXPECT_EQ(ReadValue(pair.node.get()), -1000 - c.error) << value;
    EXPECT_EQ(ReadValue(pair.node.get()), value) << "the next message is read whole";
    ++value;
  }
  EXPECT_EQ(pair.node->InBuf.lSize, MQNODE_INPUT_SIZE) << "no allocation for refused bodies";
}

TEST(MqNodeStream, HostileSignedHeadersAreRefused) {
  RawPair pair;
  Pcf in(MQCMD_PING_Q_MGR, 0);
  Image too_short(false);  // a payload that cannot hold an MDHDR
  too_short.Word(32).Word(1).Word(0).Word(1).Word(100).Zeros(12);
  Image huge(false);
  huge.Word(32).Word(1).Word(0).Word(1).Word(0x7FFFFFFF).Zeros(12);
  Image wrong(false);
  wrong.Word(33).Word(1).Word(0).Word(1).Word(200).Zeros(12);
  for (const std::string& bytes : {too_short.b, huge.b, wrong.b}) {
    pair.Send(bytes);
    EXPECT_EQ(mnSRead(in.m, pair.node.get(), 1), 0);
    EXPECT_EQ(pair.node->lLastError, MQNODE_BAD_HEADER);
  }
  // A payload that does not unscramble into an MDHDR.
  Image garbage(false);
  garbage.Word(32).Word(1).Word(0).Word(1).Word(140).Zeros(12).Zeros(140);
  pair.Send(garbage.b);
  vrqtest::CaptureStdout dump;
  EXPECT_EQ(mnSRead(in.m, pair.node.get(), 1), 0);
  EXPECT_EQ(pair.node->lLastError, MQNODE_BAD_HEADER);
  EXPECT_NE(dump.text(), "") << "the refused message is dumped";
}

TEST(MqNodeStream, BrowseLooksWithoutConsuming) {
  RawPair pair;
  pair.Send(PingImage(5));
  Pcf peek(MQCMD_PING_Q_MGR, 0);
  ASSERT_EQ(mnBrowse(peek.m, pair.node.get()), 1);
  EXPECT_EQ(std::string(peek->PcfMsg.pMdHdr->UserId, 4), "PEER");
  EXPECT_EQ(ReadValue(pair.node.get()), 5);
  ASSERT_EQ(NoblockSocket(&pair.node->Socket), 1);
  EXPECT_EQ(mnBrowse(peek.m, pair.node.get()), 0);
  EXPECT_EQ(pair.node->lLastError, kWouldBlock);
  pair.Send(std::string(136, 'z'));
  ASSERT_TRUE(RawPair::WaitReadable(pair.node->Socket.iSocket));
  vrqtest::CaptureStdout quiet;
  EXPECT_EQ(mnBrowse(peek.m, pair.node.get()), 0);
  EXPECT_EQ(pair.node->lLastError, MQNODE_BAD_HEADER);
}

TEST(MqNodeStream, PartialWritesQueueAndFinishThroughWritableList) {
  NodePair pair;
  MQNode* writer = pair.client.get();
  MQNode* reader = pair.peer.get();
  ASSERT_EQ(mnSetBufferSize(writer, 32768), 1);
  ASSERT_EQ(mnSetBufferSize(reader, 32768), 1);
  ASSERT_EQ(NoblockSocket(&writer->Socket), 1);
  ASSERT_EQ(NoblockSocket(&reader->Socket), 1);
  ASSERT_EQ(SetTcpNoDelay(&writer->Socket, 1), 1);
  writer->lPendingLimit = 2;

  Pcf out(MQCMD_INQUIRE_Q, 200000);
  out.AddString(MQCA_Q_DESC, std::string(150000, 'D'));
  ASSERT_EQ(mnWrite(out.m, writer), 1);
  EXPECT_EQ(writer->lLastError, kWouldBlock);
  EXPECT_EQ(mnIsPendingIO(writer), 1);
  EXPECT_EQ(IsNodeFailed(writer), 1);
  ASSERT_EQ(mnWrite(out.m, writer), 1);
  EXPECT_EQ(writer->lPending, 2);
  EXPECT_EQ(mnWrite(out.m, writer), 0);
  EXPECT_EQ(writer->lLastError, MQNODE_LIMIT_REACHED);
  EXPECT_EQ(IsNodeFailed(writer), 0);

  MQNode* nodes[] = {writer, reader, nullptr};
  MQNode* accept[3];
  MQNode* ready[3];
  MQNode* writable[3];
  Pcf in(MQCMD_PING_Q_MGR, 0);
  int read = 0;
  for (int round = 0; round < 10000 && read < 2; ++round) {
    int error = 0;
    ASSERT_EQ(mnNPost(nodes, accept, ready, writable, 5, &error), 1) << error;
    EXPECT_EQ(accept[0], nullptr);
    for (MQNode** w = writable; *w != nullptr; ++w) {
      ASSERT_EQ(*w, writer);
      ASSERT_EQ(mnFinishWrite(writer), 1);
    }
    for (MQNode** r = ready; *r != nullptr; ++r) {
      ASSERT_EQ(*r, reader);
      if (mnRead(in.m, reader)) {
        ++read;
        EXPECT_EQ(in.String(MQCA_Q_DESC).size(), 150000u);
      } else {
        ASSERT_EQ(reader->lLastError, kWouldBlock);
      }
    }
  }
  EXPECT_EQ(read, 2);
  EXPECT_EQ(mnIsPendingIO(writer), 0);
  EXPECT_EQ(writer->lPending, 0);
  EXPECT_EQ(writer->ulWritten, 2u);
}

}  // namespace
