// Report messages and where messages the queue manager generates end up: COA on arrival,
// COD on destructive get, EXPIRATION when an expired message is found (by a get or by the
// periodic scan), identifiers passed or not, data included on request, and the dead-letter
// queue (or discarding) when ReplyToQ cannot take them.
#include <cmqc.h>

#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr const char* kDefs =
    "DEFINE QLOCAL(TARGET)\n"
    "DEFINE QLOCAL(REPLIES)\n";

class MqiReports : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{"QM.REPORTS", kDefs};
  Connection c{"QM.REPORTS"};
  MQHOBJ target = MQHO_UNUSABLE_HOBJ, replies = MQHO_UNUSABLE_HOBJ, dlq = MQHO_UNUSABLE_HOBJ;
  void SetUp() override {
    ASSERT_EQ(Open(c.hconn, "TARGET", MQOO_OUTPUT | MQOO_INPUT_SHARED | MQOO_BROWSE, target).cc, MQCC_OK);
    ASSERT_EQ(Open(c.hconn, "REPLIES", MQOO_INPUT_SHARED, replies).cc, MQCC_OK);
    ASSERT_EQ(Open(c.hconn, "SYSTEM.DEAD.LETTER.QUEUE", MQOO_INPUT_SHARED, dlq).cc, MQCC_OK);
  }
  MQMD Original(MQLONG report, const char* reply_q = "REPLIES") {
    MQMD md = {MQMD_DEFAULT};
    md.Report = report;
    std::strncpy(md.ReplyToQ, reply_q, sizeof md.ReplyToQ);
    std::memcpy(md.MsgId, "ORIGINAL-MSGID", 14);
    std::memcpy(md.CorrelId, "ORIGINAL-CORRELID", 17);
    return md;
  }
};

}  // namespace

TEST_F(MqiReports, ArrivalAndDeliveryReportsPassIdentifiers) {
  MQMD md = Original(MQRO_COA | MQRO_COD | MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID);
  ASSERT_EQ(Put(c.hconn, target, md, "ping").cc, MQCC_OK);
  Got coa = Get(c.hconn, replies);
  ASSERT_EQ(coa.r.cc, MQCC_OK);
  EXPECT_EQ(coa.md.MsgType, MQMT_REPORT);
  EXPECT_EQ(coa.md.Feedback, MQFB_COA);
  EXPECT_EQ(coa.length, 0);
  EXPECT_EQ(std::memcmp(coa.md.MsgId, md.MsgId, 24), 0);
  EXPECT_EQ(std::memcmp(coa.md.CorrelId, md.CorrelId, 24), 0);
  EXPECT_EQ(Field(coa.md.PutDate).size(), 8u);
  EXPECT_EQ(Get(c.hconn, replies).r.rc, MQRC_NO_MSG_AVAILABLE);

  Get(c.hconn, target, MQGMO_BROWSE_FIRST);  // browsing delivers nothing
  EXPECT_EQ(Get(c.hconn, replies).r.rc, MQRC_NO_MSG_AVAILABLE);
  ASSERT_EQ(Get(c.hconn, target).r.cc, MQCC_OK);
  Got cod = Get(c.hconn, replies);
  EXPECT_EQ(cod.md.Feedback, MQFB_COD);
}

TEST_F(MqiReports, DefaultIdentifiersAndReportData) {
  MQMD md = Original(MQRO_COA_WITH_DATA);
  const std::string data(150, 'D');
  ASSERT_EQ(Put(c.hconn, target, md, data).cc, MQCC_OK);
  Got coa = Get(c.hconn, replies);
  ASSERT_EQ(coa.r.cc, MQCC_OK);
  EXPECT_NE(std::memcmp(coa.md.MsgId, md.MsgId, 24), 0);        // a new MsgId
  EXPECT_EQ(std::memcmp(coa.md.CorrelId, md.MsgId, 24), 0);     // the original's MsgId
  EXPECT_EQ(coa.data, std::string(100, 'D'));

  MQMD full = Original(MQRO_COA_WITH_FULL_DATA);
  ASSERT_EQ(Put(c.hconn, target, full, data).cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, replies).data, data);
}

TEST_F(MqiReports, ExpiryFoundByGetAndByScan) {
  MQMD md = Original(MQRO_EXPIRATION | MQRO_PASS_CORREL_ID);
  // Two seconds (in tenths): room for the browse on a busy machine.
  md.Expiry = 20;
  ASSERT_EQ(Put(c.hconn, target, md, "short-lived").cc, MQCC_OK);
  Got fresh = Get(c.hconn, target, MQGMO_BROWSE_FIRST);
  ASSERT_EQ(fresh.r.cc, MQCC_OK);
  EXPECT_GT(fresh.md.Expiry, 0);
  EXPECT_LE(fresh.md.Expiry, 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(Get(c.hconn, target).r.rc, MQRC_NO_MSG_AVAILABLE);
  Got report = Get(c.hconn, replies, MQGMO_WAIT, 30000);
  EXPECT_EQ(report.md.Feedback, MQFB_EXPIRATION);
  EXPECT_EQ(std::memcmp(report.md.CorrelId, md.CorrelId, 24), 0);

  // Nobody reads the queue: the periodic scan still reports the expiry.
  md.Expiry = 2;
  ASSERT_EQ(Put(c.hconn, target, md, "unread").cc, MQCC_OK);
  Got scanned = Get(c.hconn, replies, MQGMO_WAIT, 30000);
  EXPECT_EQ(scanned.r.cc, MQCC_OK);
  EXPECT_EQ(scanned.md.Feedback, MQFB_EXPIRATION);
}

TEST_F(MqiReports, UndeliverableReportsGoToDeadLetterQueueUnlessDiscarded) {
  MQMD md = Original(MQRO_COA, "NO.SUCH.QUEUE");
  ASSERT_EQ(Put(c.hconn, target, md, "x").cc, MQCC_OK);
  Got dead = Get(c.hconn, dlq);
  ASSERT_EQ(dead.r.cc, MQCC_OK);
  EXPECT_EQ(std::string(dead.md.Format, 8), MQFMT_DEAD_LETTER_HEADER);
  ASSERT_GE(dead.data.size(), sizeof(MQDLH));
  MQDLH dlh;
  std::memcpy(&dlh, dead.data.data(), sizeof dlh);
  EXPECT_EQ(std::string(dlh.StrucId, 4), MQDLH_STRUC_ID);
  EXPECT_EQ(dlh.Reason, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(Field(dlh.DestQName), "NO.SUCH.QUEUE");
  EXPECT_EQ(Field(dlh.DestQMgrName), "QM.REPORTS");

  ASSERT_TRUE(qm.Fault({"put-inhibit", "REPLIES"}));
  MQMD inhibited = Original(MQRO_COA);
  ASSERT_EQ(Put(c.hconn, target, inhibited, "x").cc, MQCC_OK);
  Got dead2 = Get(c.hconn, dlq);
  ASSERT_EQ(dead2.r.cc, MQCC_OK);
  std::memcpy(&dlh, dead2.data.data(), sizeof dlh);
  EXPECT_EQ(dlh.Reason, MQRC_PUT_INHIBITED);

  // DISCARD_MSG alone stays with the original; passed on, it discards the report.
  MQMD kept = Original(MQRO_COA | MQRO_DISCARD_MSG);
  ASSERT_EQ(Put(c.hconn, target, kept, "x").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, dlq).r.cc, MQCC_OK);
  MQMD discarded = Original(MQRO_COA | MQRO_DISCARD_MSG | MQRO_PASS_DISCARD_AND_EXPIRY);
  ASSERT_EQ(Put(c.hconn, target, discarded, "x").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, dlq).r.rc, MQRC_NO_MSG_AVAILABLE);
}
