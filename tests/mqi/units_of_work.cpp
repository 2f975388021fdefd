// Units of work: uncommitted puts are invisible and vanish on backout, messages got under
// syncpoint return with BackoutCount + 1, commit makes both final.
#include "mqi_test.h"

#include <cmqc.h>

using namespace mqitest;

TEST(MqiUnitsOfWork, CommitAndBackout) {
  vrqtest::StandinQm qm("QM.UOW", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.UOW");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED | MQOO_INQUIRE, q).cc, MQCC_OK);

  ASSERT_EQ(Put(c.hconn, q, "uncommitted", MQPMO_SYNCPOINT).cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, q).r.rc, MQRC_NO_MSG_AVAILABLE);
  MQLONG cc, rc;
  MQBACK(c.hconn, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  EXPECT_EQ(Depth(c.hconn, "Q1"), 0);

  ASSERT_EQ(Put(c.hconn, q, "request", MQPMO_SYNCPOINT).cc, MQCC_OK);
  MQCMIT(c.hconn, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  for (MQLONG round = 1; round <= 2; ++round) {
    Got g = Get(c.hconn, q, MQGMO_SYNCPOINT);
    ASSERT_EQ(g.r.cc, MQCC_OK);
    EXPECT_EQ(g.md.BackoutCount, round - 1);
    EXPECT_EQ(Get(c.hconn, q).r.rc, MQRC_NO_MSG_AVAILABLE);  // locked by the unit of work
    MQBACK(c.hconn, &cc, &rc);
  }
  Got last = Get(c.hconn, q, MQGMO_SYNCPOINT);
  EXPECT_EQ(last.md.BackoutCount, 2);
  MQCMIT(c.hconn, &cc, &rc);
  EXPECT_EQ(Depth(c.hconn, "Q1"), 0);
  MQCMIT(c.hconn, &cc, &rc);  // nothing to commit is fine
  EXPECT_EQ(cc, MQCC_OK);
}
