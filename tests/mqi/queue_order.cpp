// Where messages stand in their queue while units of work, browse cursors and matching
// gets come and go: delivery by priority then arrival, a backed-out get back at its place,
// a committed put at the place of its put, browse cursors that stay put, matching gets
// that find the first message carrying an identifier, and a full queue refusing at once.
#include <cmqc.h>

#include <chrono>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr MQLONG kAll = MQOO_OUTPUT | MQOO_INPUT_SHARED | MQOO_BROWSE | MQOO_INQUIRE;

MQMD WithPriority(MQLONG priority) {
  MQMD md = {MQMD_DEFAULT};
  md.Priority = priority;
  return md;
}

MQMD WithCorrelId(const std::string& id, MQLONG priority = 0) {
  MQMD md = WithPriority(priority);
  std::memcpy(md.CorrelId, id.data(), std::min(id.size(), sizeof md.CorrelId));
  return md;
}

// Gets everything left on the queue, without syncpoint, and returns the data in order.
std::vector<std::string> Drain(MQHCONN h, MQHOBJ q) {
  std::vector<std::string> got;
  for (Got g = Get(h, q); g.r.cc == MQCC_OK; g = Get(h, q)) got.push_back(g.data);
  return got;
}

MQGMO MatchCorrelId() {
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Version = MQGMO_VERSION_2;
  gmo.MatchOptions = MQMO_MATCH_CORREL_ID;
  return gmo;
}

class MqiQueueOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qm.running());
    ASSERT_EQ(Open(a.hconn, "Q1", kAll, qa).cc, MQCC_OK);
    ASSERT_EQ(Open(b.hconn, "Q1", kAll, qb).cc, MQCC_OK);
  }
  vrqtest::StandinQm qm{"QM.ORDER", "DEFINE QLOCAL(Q1)\nDEFINE QLOCAL(FULL) MAXDEPTH(2)\n"};
  Connection a{"QM.ORDER"};
  Connection b{"QM.ORDER"};
  MQHOBJ qa = MQHO_UNUSABLE_HOBJ;
  MQHOBJ qb = MQHO_UNUSABLE_HOBJ;
};

}  // namespace

TEST_F(MqiQueueOrder, UnitsOfWorkKeepArrivalOrder) {
  MQLONG cc, rc;
  MQMD low = WithPriority(1);
  MQMD high = WithPriority(7);
  ASSERT_EQ(Put(a.hconn, qa, low, "a1").cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, qa, low, "a2").cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, qa, high, "h1").cc, MQCC_OK);

  // The higher priority comes first; taken under syncpoint and backed out it is first again,
  // ahead of what was put after it.
  Got g = Get(b.hconn, qb, MQGMO_SYNCPOINT);
  EXPECT_EQ(g.data, "h1");
  ASSERT_EQ(Put(a.hconn, qa, high, "h2").cc, MQCC_OK);
  g = Get(b.hconn, qb, MQGMO_SYNCPOINT);
  EXPECT_EQ(g.data, "h2");
  MQBACK(b.hconn, &cc, &rc);

  // A put under syncpoint holds its place from the put: committed after a later put, it is
  // still delivered before it.
  ASSERT_EQ(Put(b.hconn, qb, low, "b-uncommitted", MQPMO_SYNCPOINT).cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, qa, low, "a3").cc, MQCC_OK);
  EXPECT_EQ(Depth(a.hconn, "Q1"), 6);  // uncommitted messages count in the depth
  MQCMIT(b.hconn, &cc, &rc);

  // Got under syncpoint from the middle and backed out, a1 returns before a2.
  g = Get(a.hconn, qa, MQGMO_SYNCPOINT);
  g = Get(a.hconn, qa, MQGMO_SYNCPOINT);
  EXPECT_EQ(g.data, "h2");
  g = Get(a.hconn, qa, MQGMO_SYNCPOINT);
  EXPECT_EQ(g.data, "a1");
  MQBACK(a.hconn, &cc, &rc);

  std::vector<std::string> expected{"h1", "h2", "a1", "a2", "b-uncommitted", "a3"};
  EXPECT_EQ(Drain(a.hconn, qa), expected);
}

TEST_F(MqiQueueOrder, BrowseCursorStaysWhereItWas) {
  for (const char* d : {"m1", "m2", "m3"}) ASSERT_EQ(Put(a.hconn, qa, d).cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST).data, "m1");
  // The message under the cursor and the next one are taken by another connection.
  EXPECT_EQ(Get(b.hconn, qb).data, "m1");
  EXPECT_EQ(Get(b.hconn, qb).data, "m2");
  ASSERT_EQ(Put(b.hconn, qb, "m4").cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "m3");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "m4");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).r.rc, MQRC_NO_MSG_AVAILABLE);

  // A message of higher priority lands ahead of the cursor: only a new browse sees it. One
  // of the cursor's priority arriving after the end is seen next.
  MQMD high = WithPriority(5);
  ASSERT_EQ(Put(b.hconn, qb, high, "urgent").cc, MQCC_OK);
  ASSERT_EQ(Put(b.hconn, qb, "m5").cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "m5");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST).data, "urgent");

  // Messages held by another unit of work are not browsed; backed out, they are again.
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_SYNCPOINT).data, "urgent");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST).data, "m3");
  MQLONG cc, rc;
  MQBACK(b.hconn, &cc, &rc);
  Got again = Get(a.hconn, qa, MQGMO_BROWSE_FIRST);
  EXPECT_EQ(again.data, "urgent");
  EXPECT_EQ(again.md.BackoutCount, 1);

  // A browse handle closed and opened again starts from the first message.
  Close(a.hconn, qa);
  ASSERT_EQ(Open(a.hconn, "Q1", kAll, qa).cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "urgent");
}

TEST_F(MqiQueueOrder, MatchingGetsFindTheFirstCarrier) {
  for (int i = 0; i < 2000; ++i) {
    MQMD md = WithCorrelId("C" + std::to_string(i));
    ASSERT_EQ(Put(a.hconn, qa, md, "n" + std::to_string(i)).cc, MQCC_OK);
  }
  MQMD dup_low = WithCorrelId("SHARED", 1);
  MQMD dup_high = WithCorrelId("SHARED", 4);
  ASSERT_EQ(Put(a.hconn, qa, dup_low, "shared-low-1").cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, qa, dup_high, "shared-high").cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, qa, dup_low, "shared-low-2").cc, MQCC_OK);

  MQGMO gmo = MatchCorrelId();
  MQMD select = WithCorrelId("C1234");
  Got g = Get(b.hconn, qb, MQGMO_NO_SYNCPOINT, 0, 100, &select, &gmo);
  EXPECT_EQ(g.data, "n1234");
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_NO_SYNCPOINT, 0, 100, &select, &gmo).r.rc, MQRC_NO_MSG_AVAILABLE);

  // Several carry the identifier: priority first, then arrival; one held by a unit of work
  // is passed over.
  select = WithCorrelId("SHARED");
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_SYNCPOINT, 0, 100, &select, &gmo).data, "shared-high");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST, 0, 100, &select, &gmo).data, "shared-low-1");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT, 0, 100, &select, &gmo).data, "shared-low-2");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT, 0, 100, &select, &gmo).r.rc, MQRC_NO_MSG_AVAILABLE);

  // By MsgId, with a CorrelId that does not go with it: nothing.
  Got first = Get(a.hconn, qa, MQGMO_BROWSE_FIRST);
  MQGMO both = MatchCorrelId();
  both.MatchOptions |= MQMO_MATCH_MSG_ID;
  MQMD wrong = first.md;
  std::memcpy(wrong.CorrelId, "C1", 3);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_NO_SYNCPOINT, 0, 100, &wrong, &both).r.rc, MQRC_NO_MSG_AVAILABLE);
  MQGMO by_msg_id = {MQGMO_DEFAULT};
  by_msg_id.Version = MQGMO_VERSION_2;
  by_msg_id.MatchOptions = MQMO_MATCH_MSG_ID;
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_NO_SYNCPOINT, 0, 100, &first.md, &by_msg_id).data, first.data);
  EXPECT_EQ(Depth(a.hconn, "Q1"), 2001);
}

TEST_F(MqiQueueOrder, FullQueueRefusesAtOnce) {
  MQHOBJ full;
  ASSERT_EQ(Open(a.hconn, "FULL", MQOO_OUTPUT | MQOO_INPUT_SHARED, full).cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, full, "1", MQPMO_SYNCPOINT).cc, MQCC_OK);
  ASSERT_EQ(Put(a.hconn, full, "2").cc, MQCC_OK);
  // An uncommitted put counts, and so does a message got under syncpoint until commit.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Put(a.hconn, full, "3").rc, MQRC_Q_FULL);
  MQMD md = {MQMD_DEFAULT};
  EXPECT_EQ(Put1(b.hconn, "FULL", md, "3").rc, MQRC_Q_FULL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // no wait for room
  MQLONG cc, rc;
  MQCMIT(a.hconn, &cc, &rc);
  EXPECT_EQ(Get(a.hconn, full, MQGMO_SYNCPOINT).r.cc, MQCC_OK);
  EXPECT_EQ(Put(b.hconn, qb, "elsewhere").cc, MQCC_OK);
  EXPECT_EQ(Put1(b.hconn, "FULL", md, "3").rc, MQRC_Q_FULL);
  MQCMIT(a.hconn, &cc, &rc);
  EXPECT_EQ(Put1(b.hconn, "FULL", md, "3").cc, MQCC_OK);
  Close(a.hconn, full);
}

TEST_F(MqiQueueOrder, GetAndBrowseTheMessageUnderTheCursor) {
  for (const char* d : {"a", "b", "c"}) ASSERT_EQ(Put(a.hconn, qa, d).cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_MSG_UNDER_CURSOR).r.rc, MQRC_NO_MSG_UNDER_CURSOR);  // nothing browsed yet
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST).data, "a");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "b");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_MSG_UNDER_CURSOR).data, "b");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_MSG_UNDER_CURSOR | MQGMO_NO_SYNCPOINT).data, "b");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_MSG_UNDER_CURSOR).r.rc, MQRC_NO_MSG_UNDER_CURSOR);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT).data, "c");
  // Taken by another connection, the message is no longer under the cursor.
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_BROWSE_FIRST).data, "a");
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_MSG_UNDER_CURSOR).data, "a");
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_BROWSE_NEXT).data, "c");
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_MSG_UNDER_CURSOR).data, "c");
  EXPECT_EQ(Get(b.hconn, qb, MQGMO_MSG_UNDER_CURSOR).r.rc, MQRC_NO_MSG_UNDER_CURSOR);

  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_NEXT | MQGMO_MSG_UNDER_CURSOR).r.rc, MQRC_OPTIONS_ERROR);
  EXPECT_EQ(Get(a.hconn, qa, MQGMO_BROWSE_FIRST | MQGMO_BROWSE_MSG_UNDER_CURSOR).r.rc, MQRC_OPTIONS_ERROR);
  MQHOBJ input_only;
  ASSERT_EQ(Open(a.hconn, "Q1", MQOO_INPUT_SHARED, input_only).cc, MQCC_OK);
  EXPECT_EQ(Get(a.hconn, input_only, MQGMO_MSG_UNDER_CURSOR).r.rc, MQRC_NOT_OPEN_FOR_BROWSE);
  EXPECT_EQ(Depth(a.hconn, "Q1"), 0);
}
