// MQManager against a stand-in queue manager: private dynamic queues made from the model
// queue with and without "mqqual.ini" (asterisk always within the first 33 characters), a
// connection shared with the caller (2002) left connected,
// queues emptied on open, requests whose reply-to fields name the object's reply queue,
// identifiers carried between header and descriptor, the command server answering a PCF
// ping, and the failure paths with their log messages.
#include <cmqc.h>
#include <cmqcfc.h>

#include <memory>
#include <regex>

#include "mqtx_test.h"

namespace {

using namespace mqtxtest;

struct ManagerDeleter {
  void operator()(MQManager* m) const { DeleteMQManager(m); }
};
using Manager = std::unique_ptr<MQManager, ManagerDeleter>;

const char* kDefinitions =
    "DEFINE QMODEL(ORVANE.MODEL.QUEUE)\n"
    "DEFINE QMODEL(SITE.MODEL) DEFTYPE(PERMDYN)\n"
    "DEFINE QLOCAL(APP.REQ)\n"
    "DEFINE QLOCAL(APP.FULL) MAXDEPTH(5)\n"
    "DEFINE QLOCAL(APP.NOGET) GET(DISABLED)\n";

// What a call writes to standard output, with the date lines of log entries removed.
template <typename Call>
std::string Logged(Call call) {
  std::string text;
  {
    vrqtest::CaptureStdout out;
    call();
    text = out.text();
  }
  return vrqtest::Mask(text, "\nDate: [^\n]*\n", "");
}

TEST(Manager, ReplyQueuesFromTheDefaultModelQueue) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;  // no mqqual.ini
  vrqtest::StandinQm qm("QM.MGR", kDefinitions);
  ASSERT_TRUE(qm.running());
  Traces().clear();
  OnGQMgrTrace(RecordManager, RecordQueue, nullptr);
  Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
  OnGQMgrTrace(nullptr, nullptr, nullptr);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->lKind, MQMANAGER_KIND);
  EXPECT_EQ(m->lReason, MQRC_NONE);
  EXPECT_GE(m->hConn, 0);
  EXPECT_STREQ(m->pCmdQ->szName, "SYSTEM.ADMIN.COMMAND.QUEUE");
  EXPECT_STREQ(m->pEventQ->szName, "ORVANE.EVENT.PING*");
  EXPECT_STREQ(m->pHashQ->szName, "ORVANE.REPLY.PING.HASH*");
  EXPECT_STREQ(m->pReplyInqQ->szName, "ORVANE.REPLY.PING.INQ*");
  EXPECT_STREQ(m->pReplyCmdQ->szName, "ORVANE.REPLY.PING.CMD*");
  EXPECT_EQ(Trimmed(m->pReplyCmdQ->ObjDesc.ObjectName, 48), "ORVANE.MODEL.QUEUE");
  EXPECT_EQ(Traces().back(), "M CreateDMQManager");

  Traces().clear();
  ASSERT_EQ(qmOpen(m.get(), ""), 1) << m->lReason;
  EXPECT_EQ(Traces().front(), "M qmOpen: before");
  EXPECT_EQ(Traces().back(), "M qmOpen: after");
  EXPECT_NE(std::find(Traces().begin(), Traces().end(), "Q qqClear: after"), Traces().end());
  for (MQueue* q : {m->pHashQ, m->pReplyInqQ, m->pReplyCmdQ}) {
    const std::string name = Trimmed(q->szName, 48);
    EXPECT_EQ(name.rfind("ORVANE.REPLY.PING.", 0), 0u) << name;
    EXPECT_EQ(name.find('*'), std::string::npos) << name;
  }
  EXPECT_EQ(qqIsOpen(m->pCmdQ), 0);  // the command queue is written with one-shot puts
  Traces().clear();
  m.reset();
  EXPECT_EQ(Traces().front(), "M DeleteMQManager");
}

TEST(Manager, FullLengthQualifiersKeepTheAsteriskWithinThirtyThreeCharacters) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  inst.Qual("ORVANE.MODEL.QUEUE=SITE.MODEL\nORVANE.HLQ=HHHHHHHH\nORVANE.MLQ=MMMMMMMM\n");
  vrqtest::StandinQm qm("QM.MGR", kDefinitions);
  // Prefix HHHHHHHH.MMMMMMMM.REPLY.PING (28): ".INQ" and ".CMD" end at 32 with the asterisk
  // at 33; ".HASH" would end at 33, so the prefix is cut by one to keep the asterisk.
  Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
  ASSERT_TRUE(m);
  EXPECT_STREQ(m->pReplyInqQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.PING.INQ*");
  EXPECT_STREQ(m->pReplyCmdQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.PING.CMD*");
  EXPECT_STREQ(m->pHashQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.PIN.HASH*");
  EXPECT_STREQ(m->pEventQ->szName, "HHHHHHHH.MMMMMMMM.EVENT.PING*");
  ASSERT_EQ(qmOpen(m.get(), ""), 1) << m->lReason;

  // A second user of the same names while the first still holds its queues: every name
  // is completed by the queue manager, so nothing collides.
  Manager second(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
  ASSERT_EQ(qmOpen(second.get(), ""), 1) << second->lReason;
  EXPECT_NE(Trimmed(m->pHashQ->szName, 48), Trimmed(second->pHashQ->szName, 48));

  // An eight-character format makes the prefix 32 long: each name is cut to 32 with its
  // suffix kept, and the asterisk is the 33rd character.
  Manager full(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PINGPING"));
  EXPECT_STREQ(full->pReplyInqQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.PING.INQ*");
  EXPECT_STREQ(full->pHashQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.PIN.HASH*");
  ASSERT_EQ(qmOpen(full.get(), ""), 1) << full->lReason;
  Manager fullAgain(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PINGPING"));
  ASSERT_EQ(qmOpen(fullAgain.get(), ""), 1) << fullAgain->lReason;

  // The format is given the number 8; a format that does not take one integer is used as
  // it stands.
  Manager numbered(CreateDMQManager(qm.name().c_str(), nullptr, "P", "P%02d"));
  EXPECT_STREQ(numbered->pReplyCmdQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.P08.CMD*");
  Manager unsafe(CreateDMQManager(qm.name().c_str(), nullptr, "P", "%s%n"));
  EXPECT_STREQ(unsafe->pReplyCmdQ->szName, "HHHHHHHH.MMMMMMMM.REPLY.%s%n.CMD*");
}

// A thread that already holds a connection gets it again from MQCONN (2002): an object
// made on it, and the one qmTest makes for itself, must leave it connected when deleted.
TEST(Manager, ASharedConnectionIsNotDisconnected) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  vrqtest::StandinQm qm("QM.MGR", kDefinitions + std::string("DEFINE QLOCAL(APP.Q)\n"));
  Conn mine(qm.name());
  ASSERT_EQ(mine.cc, MQCC_OK);
  ASSERT_EQ(Put(mine.h, "APP.Q", "before"), MQRC_NONE);
  {
    Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hConn, mine.h);
    ASSERT_EQ(qmOpen(m.get(), ""), 1) << m->lReason;
    EXPECT_EQ(qmClose(m.get()), 1);
    EXPECT_EQ(m->lReason, MQRC_NONE);
  }
  EXPECT_EQ(Put(mine.h, "APP.Q", "after the object"), MQRC_NONE);
  PcfMessage* response = CreatePcfMessage(0, MQCFT_RESPONSE, 256);
  ASSERT_NE(response, nullptr);
  qmTest(qm.name().c_str(), nullptr, "PING", "PING", response);
  DeletePcfMessage(response);
  EXPECT_EQ(Put(mine.h, "APP.Q", "after the self-test"), MQRC_NONE);
}

TEST(Manager, RequestAndReplyThroughTheObjectsQueues) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  vrqtest::StandinQm qm("QM.MGR", kDefinitions);
  Manager m(CreateDMQManager(qm.name().c_str(), "APP.REQ", "PING", "PING"));
  ASSERT_TRUE(m);
  ASSERT_EQ(qmOpen(m.get(), "bob"), 1) << m->lReason;
  const std::string replyQ = Trimmed(m->pReplyCmdQ->szName, 48);

  MESSAGE req{};
  ASSERT_EQ(CreateMessage(&req, 64), 1);
  std::memcpy(req.pData, "request", 7);
  req.lMsgLength += 7;
  std::memset(req.pMdHdr->MsgId, 0x11, 24);
  std::memset(req.pMdHdr->CorrelId, 0x22, 24);
  std::memcpy(req.pMdHdr->UserId, "carol", 5);
  ASSERT_EQ(qmWrite(&req, m.get()), 1) << m->lReason;

  // The responder's side: the request names the reply queue and carries the identifiers
  // and, put on carol's behalf, her user id.
  Conn c(qm.name());
  std::string data;
  MQMD md = {MQMD_DEFAULT};
  ASSERT_EQ(Get(c.h, "APP.REQ", &data, &md), MQRC_NONE);
  EXPECT_EQ(data, "request");
  EXPECT_EQ(Trimmed(md.ReplyToQ, 48), replyQ);
  EXPECT_EQ(Trimmed(md.ReplyToQMgr, 48), qm.name());
  EXPECT_EQ(md.MsgId[0], 0x11);
  EXPECT_EQ(md.CorrelId[23], 0x22);
  EXPECT_EQ(Trimmed(md.UserIdentifier, 12), "carol");

  MQMD reply = {MQMD_DEFAULT};
  std::memcpy(reply.MsgId, md.MsgId, 24);
  std::memset(reply.CorrelId, 0x33, 24);
  ASSERT_EQ(Put(c.h, replyQ, std::string(1000, 'r'), &reply), MQRC_NONE);

  ResetMessage(&req);
  SizeMessage(&req, 10);  // the read grows the buffer
  ASSERT_EQ(qmRead(&req, 5000, m.get()), 1) << m->lReason;
  EXPECT_EQ(req.lMsgLength, MDHDR_LENGTH + 1000);
  EXPECT_EQ(req.pMdHdr->MsgId[0], 0x11);
  EXPECT_EQ(req.pMdHdr->CorrelId[0], 0x33);

  // Inquiry replies go to the other reply queue.
  ResetMessage(&req);
  req.lMsgLength += 3;
  ASSERT_EQ(qmWriteSelectReply(&req, m.get(), QM_REPLY_INQUIRY), 1);
  ASSERT_EQ(Get(c.h, "APP.REQ", &data, &md), MQRC_NONE);
  EXPECT_EQ(Trimmed(md.ReplyToQ, 48), Trimmed(m->pReplyInqQ->szName, 48));
  ASSERT_EQ(Put(c.h, Trimmed(md.ReplyToQ, 48), "inq"), MQRC_NONE);
  ResetMessage(&req);
  ASSERT_EQ(qmReadSelectReply(&req, 5000, m.get(), QM_REPLY_INQUIRY), 1);
  EXPECT_EQ(std::string(req.pData, 3), "inq");

  // Nothing more: a read without wait ends at once with 2033.
  ResetMessage(&req);
  EXPECT_EQ(qmRead(&req, 0, m.get()), 0);
  EXPECT_EQ(m->lReason, MQRC_NO_MSG_AVAILABLE);
  DeleteMessage(&req);
}

TEST(Manager, CommandServerAnswersAPing) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  vrqtest::StandinQm qm("QM.MGR", kDefinitions);
  Manager m(CreateMQManager(qm.name().c_str(), nullptr, "APP.REQ", "PING"));
  ASSERT_TRUE(m);
  EXPECT_GT(m->lCommandLevel, 0);
  EXPECT_STREQ(m->pEventQ->szName, "APP.REQ");
  ASSERT_EQ(qmOpen(m.get(), ""), 1) << m->lReason;
  PcfMessage* ping = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 512);
  ASSERT_NE(ping, nullptr);
  ASSERT_EQ(qmWrite(&ping->PcfMsg, m.get()), 1) << m->lReason;
  ResetMessage(&ping->PcfMsg);
  ASSERT_EQ(qmRead(&ping->PcfMsg, 10000, m.get()), 1) << m->lReason;
  ASSERT_EQ(RawToPcf(ping), 1);
  EXPECT_EQ(ping->pPcfHdr->Command, MQCMD_PING_Q_MGR);
  EXPECT_EQ(ping->pPcfHdr->Type, MQCFT_RESPONSE);
  EXPECT_EQ(ping->pPcfHdr->CompCode, MQCC_OK);
  DeletePcfMessage(ping);

  // A unit of work ends; a null object is refused before any MQI call.
  EXPECT_EQ(qmEndTrans(m.get(), 1), 1);
  EXPECT_EQ(qmEndTrans(m.get(), 0), 1);
  EXPECT_EQ(qmEndTrans(nullptr, 1), 0);
}

TEST(Manager, PrivateQueuesAreEmptiedOnOpen) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  vrqtest::StandinQm qm("QM.MGR", kDefinitions);
  Conn c(qm.name());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Put(c.h, "APP.FULL", "stale"), MQRC_NONE);
  Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
  // The hash queue object pointed at a queue that already holds messages.
  std::memset(m->pHashQ->ObjDesc.ObjectName, 0, 48);
  std::memcpy(m->pHashQ->ObjDesc.ObjectName, "APP.FULL", 8);
  ASSERT_EQ(qmOpen(m.get(), ""), 1) << m->lReason;
  EXPECT_EQ(Depth(c.h, "APP.FULL"), 0);
}

TEST(Manager, FailurePathsAndTheirLogMessages) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Install inst;
  {
    // No queue manager of that name: no queues, and qmOpen says so.
    Manager m(CreateDMQManager("QM.NOT.THERE", nullptr, "PING", "PING"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hConn, -1);
    EXPECT_NE(m->lReason, MQRC_NONE);
    EXPECT_EQ(m->pCmdQ, nullptr);
    int opened = -1;
    const std::string log = Logged([&] { opened = qmOpen(m.get(), ""); });
    EXPECT_EQ(opened, 0);
    // The log says what failed: the connect, with its reason.
    EXPECT_EQ(log, "VRQ0109E qmOpen: Connect to queue manager \"QM.NOT.THERE\" failed, REASON(" +
                       std::to_string(m->lReason) + ")\n");
    EXPECT_EQ(qmClose(m.get()), 1);  // no disconnect
    EXPECT_EQ(m->lReason, MQRC_NONE);
    // A name longer than the field is cut, not overrun.
    Manager longName(CreateDMQManager(std::string(80, 'Q').c_str(), nullptr, "PING", "PING"));
    ASSERT_TRUE(longName);
    EXPECT_EQ(std::string(longName->szName), std::string(48, 'Q'));
    EXPECT_EQ(longName->hConn, -1);
    MESSAGE msg{};
    CreateMessage(&msg, 8);
    EXPECT_EQ(qmWrite(&msg, m.get()), 0);
    EXPECT_EQ(qmRead(&msg, 0, m.get()), 0);
    DeleteMessage(&msg);
  }
  vrqtest::StandinQm qm("QM.MGR", "DEFINE QLOCAL(APP.NOGET) GET(DISABLED)\n");
  struct Case {
    MQueue* MQManager::*queue;
    const char* objectName;
    const char* expected;
  };
  const Case cases[] = {
      {&MQManager::pHashQ, nullptr,
       "VRQ0102W qmOpen: Open Hash Queue failed, HashQ QM.MGR:ORVANE.MODEL.QUEUE REASON(2085) "
       "UserID(dave) AltID(dave)"},
      {&MQManager::pHashQ, "APP.NOGET",
       "VRQ0107W qmOpen: Clear Hash Queue failed, HashQ QM.MGR:APP.NOGET REASON(2016) "
       "UserID(dave) AltID(dave)"},
      {&MQManager::pReplyInqQ, "APP.NOGET",
       "VRQ0107W qmOpen: Clear Reply Queue failed, ReplyInqQ QM.MGR:APP.NOGET REASON(2016) "
       "UserID(dave) AltID()"},
      {&MQManager::pReplyCmdQ, "NO.SUCH.MODEL",
       "VRQ0102W qmOpen: Open Reply Queue failed, ReplyCmdQ QM.MGR:NO.SUCH.MODEL REASON(2085) "
       "UserID(dave) AltID()"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.expected);
    Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "PING", "PING"));
    ASSERT_TRUE(m);
    // Every queue opened before the failing one works: point them at the system model.
    for (MQueue* q : {m->pHashQ, m->pReplyInqQ, m->pReplyCmdQ}) {
      std::memset(q->ObjDesc.ObjectName, 0, 48);
      std::strcpy(q->ObjDesc.ObjectName, "SYSTEM.DEFAULT.MODEL.QUEUE");
    }
    MQueue* target = m.get()->*k.queue;
    std::memset(target->ObjDesc.ObjectName, 0, 48);
    std::strcpy(target->ObjDesc.ObjectName, k.objectName ? k.objectName : "ORVANE.MODEL.QUEUE");
    int opened = -1;
    const std::string log = Logged([&] { opened = qmOpen(m.get(), "dave"); });
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(log, std::string(k.expected) + "\n");
    EXPECT_EQ(m->lReason, target->lReason);
  }
}

}  // namespace
