// Command posting against a stand-in queue manager: the self-test with and without a
// command server and on the model-queue fallback path, posted messages, changing a queue's
// description, and what happens when queue objects cannot be allocated.
#include <cstdlib>
#include <memory>

#include "alloc_interpose.h"
#include "mqtx_test.h"

namespace {
std::size_t g_failSize = 0;  // allocations of exactly this size fail while non-zero
}

bool TestAllocationFails(void*, std::size_t size) { return g_failSize != 0 && size == g_failSize; }

namespace {

using namespace mqtxtest;

struct PcfDeleter {
  void operator()(PcfMessage* m) const { DeletePcfMessage(m); }
};
using Pcf = std::unique_ptr<PcfMessage, PcfDeleter>;
struct ManagerDeleter {
  void operator()(MQManager* m) const { DeleteMQManager(m); }
};
using Manager = std::unique_ptr<MQManager, ManagerDeleter>;

// The integer parameters of a self-test response, in order, as "id=value".
std::vector<std::string> Params(PcfMessage* response) {
  std::vector<std::string> out;
  for (int i = 1; i <= response->pPcfHdr->ParameterCount; ++i) {
    MESSAGE attr{};
    int value = 0;
    if (GetAttrByPos(i, &attr, response) == 1 && GetPcfIntAttrValue(&attr, &value) == 1) {
      auto* in = reinterpret_cast<MQCFIN*>(attr.pData);
      out.push_back(std::to_string(in->Parameter) + "=" + std::to_string(value));
    }
    DeleteMessage(&attr);
  }
  return out;
}

struct SelfTest {
  Pcf response{CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, 256)};
  int result = -1;
  std::string printed;
  SelfTest(const std::string& qm, const char* commandQueue = nullptr) {
    vrqtest::CaptureStdout out;
    result = qmTest(qm.c_str(), commandQueue, "TEST", "TEST", response.get());
    printed = out.text();
  }
  MQCFH* hdr() const { return response->pPcfHdr; }
};

using Strings = std::vector<std::string>;

TEST(CommandPosting, SelfTestPassesWithACommandServer) {
  Install inst;
  vrqtest::StandinQm qm("QM.CMD", "DEFINE QMODEL(ORVANE.MODEL.QUEUE)\n");
  SelfTest t(qm.name());
  EXPECT_EQ(t.result, 1);
  EXPECT_EQ(t.hdr()->Type, MQCFT_RESPONSE);
  EXPECT_EQ(t.hdr()->Command, MQCMD_PING_Q_MGR);
  EXPECT_EQ(t.hdr()->CompCode, MQCC_OK);
  EXPECT_EQ(t.hdr()->Reason, MQRC_NONE);
  EXPECT_EQ(Params(t.response.get()), Strings{});

  // A command queue nobody defined fails its check with 2085; the ping is then skipped.
  SelfTest bad(qm.name(), "NO.SUCH.CMD.QUEUE");
  EXPECT_EQ(bad.result, 0);
  EXPECT_EQ(bad.hdr()->Reason, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(Params(bad.response.get()), Strings{"20301=2085"});
}

TEST(CommandPosting, SelfTestWithoutACommandServerReportsIt) {
  Install inst;
  vrqtest::StandinQm qm("QM.CMD", "DEFINE QMODEL(ORVANE.MODEL.QUEUE)\n");
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  SelfTest t(qm.name());
  EXPECT_EQ(t.result, 0);
  EXPECT_EQ(t.hdr()->CompCode, MQCC_FAILED);
  EXPECT_EQ(t.hdr()->Reason, VRQ_RC_NO_COMMAND_SERVER);
  EXPECT_EQ(Params(t.response.get()), Strings{"20304=20012"});
}

TEST(CommandPosting, SelfTestCreatesAMissingModelQueue) {
  Install inst;
  vrqtest::StandinQm qm("QM.CMD");
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  {
    // No model queue and nobody to create it: the fallback open works, the post queue
    // cannot be made from the missing model.
    SelfTest t(qm.name());
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.printed, "");
    EXPECT_EQ(Params(t.response.get()), (Strings{"20302=20012", "20303=2085"}));
    EXPECT_EQ(t.hdr()->Reason, MQRC_UNKNOWN_OBJECT_NAME);
  }
  ASSERT_TRUE(qm.Fault({"cmdserver", "start"}));
  {
    SelfTest t(qm.name());
    EXPECT_EQ(t.printed, "QueueManager(\"QM.CMD\") : Creating ORVANE.MODEL.QUEUE...\n");
    EXPECT_EQ(t.result, 0);  // the model queue was missing at the first try
    EXPECT_EQ(t.hdr()->Reason, MQRC_UNKNOWN_OBJECT_NAME);
    EXPECT_EQ(Params(t.response.get()), Strings{});
  }
  SelfTest again(qm.name());
  EXPECT_EQ(again.result, 1);
  EXPECT_EQ(again.printed, "");
}

TEST(CommandPosting, SelfTestOfAnUnreachableQueueManager) {
  Install inst;
  SelfTest t("QM.NOT.RUNNING");
  EXPECT_EQ(t.result, 0);
  ASSERT_EQ(Params(t.response.get()).size(), 1u);
  EXPECT_EQ(Params(t.response.get())[0].rfind("20305=", 0), 0u);
  EXPECT_EQ(t.hdr()->Reason, std::stoi(Params(t.response.get())[0].substr(6)));

  g_failSize = sizeof(MQManager);  // no object at all
  SelfTest none("QM.NOT.RUNNING");
  g_failSize = 0;
  EXPECT_EQ(Params(none.response.get()), Strings{"20305=2102"});
  EXPECT_EQ(none.hdr()->Reason, MQRC_RESOURCE_PROBLEM);
}

TEST(CommandPosting, PostedMessagesAndQueueDescriptions) {
  Install inst;
  vrqtest::StandinQm qm("QM.CMD", "DEFINE QMODEL(ORVANE.MODEL.QUEUE)\nDEFINE QLOCAL(APP.Q)\n");
  Manager m(CreateDMQManager(qm.name().c_str(), nullptr, "POST", "POST"));
  ASSERT_TRUE(m);
  ASSERT_EQ(qmOpen(m.get(), ""), 1);
  ASSERT_EQ(qqOpenDynamic(MQOO_INPUT_EXCLUSIVE, m->pEventQ, "ORVANE.MODEL.QUEUE", ""), 1);
  MESSAGE msg{};
  ASSERT_EQ(CreateMessage(&msg, 16), 1);
  EXPECT_EQ(qmPost(&msg, 0, m.get()), 0);
  EXPECT_EQ(m->lReason, MQRC_NO_MSG_AVAILABLE);
  Conn c(qm.name());
  ASSERT_EQ(Put(c.h, Trimmed(m->pEventQ->szName, 48), "posted event"), MQRC_NONE);
  ASSERT_EQ(qmPost(&msg, 2000, m.get()), 1) << m->lReason;
  EXPECT_EQ(std::string(msg.pData, static_cast<std::size_t>(msg.lMsgLength - MDHDR_LENGTH)),
            "posted event");
  DeleteMessage(&msg);

  const std::string longText(100, 'd');
  MQLONG reason = -1;
  ASSERT_EQ(qmUpdateQueInfo(m.get(), "APP.Q", longText.c_str(), &reason), 1) << reason;
  // The description was cut to 64 characters by the change.
  MQOD od = {MQOD_DEFAULT};
  std::strcpy(od.ObjectName, "APP.Q");
  MQHOBJ h = MQHO_UNUSABLE_HOBJ;
  MQLONG cc = 0, rc = 0;
  MQOPEN(c.h, &od, MQOO_INQUIRE, &h, &cc, &rc);
  MQLONG selector = MQCA_Q_DESC;
  char desc[MQ_Q_DESC_LENGTH] = {};
  MQINQ(c.h, h, 1, &selector, 0, nullptr, MQ_Q_DESC_LENGTH, desc, &cc, &rc);
  EXPECT_EQ(Trimmed(desc, MQ_Q_DESC_LENGTH), std::string(64, 'd'));
  MQCLOSE(c.h, &h, MQCO_NONE, &cc, &rc);

  EXPECT_EQ(qmUpdateQueInfo(m.get(), "NO.SUCH.Q", "x", &reason), 1);  // the reply is an error
  MQueue* cmdQ = m->pCmdQ;
  m->pCmdQ = nullptr;
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(qmUpdateQueInfo(m.get(), "APP.Q", "x", &reason), 0);
    EXPECT_EQ(out.text(), "qmUpdateQueInfo: pQMgr->pCmdQ is NULL\n");
  }
  m->pCmdQ = cmdQ;
}

TEST(CommandPosting, QueueObjectsThatCannotBeAllocatedAreLogged) {
  Install inst;
  vrqtest::StandinQm qm("QM.CMD", "DEFINE QMODEL(ORVANE.MODEL.QUEUE)\n");
  std::string log;
  Manager m;
  {
    vrqtest::CaptureStdout out;
    g_failSize = sizeof(MQueue);
    m.reset(CreateMQManager(qm.name().c_str(), nullptr, "APP.EVENTS", "PING"));
    g_failSize = 0;
    log = vrqtest::Mask(out.text(), "\nDate: [^\n]*\n", "");
  }
  ASSERT_TRUE(m);
  EXPECT_EQ(log,
            "VRQ0100W CreateMQManager: Unable to create event queue QM.CMD:APP.EVENTS RC(2071)\n"
            "VRQ0101W CreateMQManager: Unable to create reply queue "
            "QM.CMD:ORVANE.REPLY.PING.INQ* RC(2071)\n"
            "VRQ0101W CreateMQManager: Unable to create reply queue "
            "QM.CMD:ORVANE.REPLY.PING.CMD* RC(2071)\n"
            "VRQ0101W CreateMQManager: Unable to create command hash queue "
            "QM.CMD:ORVANE.REPLY.PING.HASH* RC(2071)\n");
  EXPECT_EQ(m->pEventQ, nullptr);
  EXPECT_EQ(m->pCmdQ, nullptr);
}

}  // namespace
