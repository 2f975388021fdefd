// Putting and getting: identifiers and context stamped by the queue manager, matching with
// version-1 and version-2 MQGMOs, truncation, waits, priorities, MQPUT1 with context
// options, limits and the reasons for queues that refuse a put.
#include <cmqc.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr const char* kDefs =
    "DEFINE QLOCAL(Q1)\n"
    "DEFINE QLOCAL(SMALL) MAXMSGL(10) MAXDEPTH(2)\n";

class MqiPutGet : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{"QM.PUTGET", kDefs};
  Connection c{"QM.PUTGET"};
  MQHOBJ q = MQHO_UNUSABLE_HOBJ;
  void SetUp() override {
    ASSERT_EQ(c.r.cc, MQCC_OK);
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED | MQOO_BROWSE | MQOO_SAVE_ALL_CONTEXT, q).cc, MQCC_OK);
  }
};

}  // namespace

TEST_F(MqiPutGet, QueueManagerStampsIdentifierAndContext) {
  MQMD md = {MQMD_DEFAULT};
  ASSERT_EQ(Put(c.hconn, q, md, "hello").cc, MQCC_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(md.MsgId), 4), "AMQ ");
  MQMD second = {MQMD_DEFAULT};
  ASSERT_EQ(Put(c.hconn, q, second, "again").cc, MQCC_OK);
  EXPECT_NE(std::memcmp(md.MsgId, second.MsgId, 24), 0);

  const time_t now = time(nullptr);
  struct tm tm {};
  gmtime_r(&now, &tm);
  char today[9];
  strftime(today, sizeof today, "%Y%m%d", &tm);
  EXPECT_EQ(std::string(md.PutDate, 8), today);
  EXPECT_EQ(Field(md.PutTime).size(), 8u);
  EXPECT_EQ(Field(md.PutApplName), "test_mqi_put_get");
  EXPECT_EQ(md.PutApplType, MQAT_UNIX);
  EXPECT_FALSE(Field(md.UserIdentifier).empty());

  Got g = Get(c.hconn, q);
  EXPECT_EQ(g.data, "hello");
  EXPECT_EQ(std::memcmp(g.md.MsgId, md.MsgId, 24), 0);
  EXPECT_EQ(std::string(g.md.PutTime, 8), std::string(md.PutTime, 8));
}

TEST_F(MqiPutGet, MatchingByVersionOfGetOptions) {
  MQMD a = {MQMD_DEFAULT}, b = {MQMD_DEFAULT};
  std::memcpy(a.CorrelId, "CORREL-A", 8);
  std::memcpy(b.CorrelId, "CORREL-B", 8);
  ASSERT_EQ(Put(c.hconn, q, a, "first").cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, q, b, "second").cc, MQCC_OK);

  // Version 1: a non-null CorrelId in the descriptor selects.
  MQMD select = {MQMD_DEFAULT};
  std::memcpy(select.CorrelId, "CORREL-B", 8);
  EXPECT_EQ(Get(c.hconn, q, MQGMO_BROWSE_FIRST, 0, 100, &select).data, "second");

  // Version 2 without match options: the identifiers are ignored.
  MQGMO v2 = {MQGMO_DEFAULT};
  v2.Version = MQGMO_VERSION_2;
  v2.MatchOptions = MQMO_NONE;
  EXPECT_EQ(Get(c.hconn, q, MQGMO_BROWSE_FIRST, 0, 100, &select, &v2).data, "first");

  // A reset descriptor takes any message; an unknown MsgId none.
  MQMD unknown = {MQMD_DEFAULT};
  std::memcpy(unknown.MsgId, "NO-SUCH-MESSAGE", 15);
  EXPECT_EQ(Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, &unknown).r.rc, MQRC_NO_MSG_AVAILABLE);
  EXPECT_EQ(Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, &select).data, "second");
  EXPECT_EQ(Get(c.hconn, q).data, "first");
}

TEST_F(MqiPutGet, TruncationAcceptedOrRefused) {
  ASSERT_EQ(Put(c.hconn, q, "0123456789").cc, MQCC_OK);
  Got refused = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 4);
  EXPECT_EQ(refused.r.cc, MQCC_WARNING);
  EXPECT_EQ(refused.r.rc, MQRC_TRUNCATED_MSG_FAILED);
  EXPECT_EQ(refused.length, 10);
  EXPECT_EQ(refused.data, "0123");  // as much as fits, the message left on the queue
  Got accepted = Get(c.hconn, q, MQGMO_NO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG, 0, 4);
  EXPECT_EQ(accepted.r.rc, MQRC_TRUNCATED_MSG_ACCEPTED);
  EXPECT_EQ(accepted.length, 10);
  EXPECT_EQ(accepted.data, "0123");
  EXPECT_EQ(Get(c.hconn, q).r.rc, MQRC_NO_MSG_AVAILABLE);
}

// A browse refused for its buffer leaves the cursor where it was: a retry with room gets the
// same message. After BROWSE_FIRST the cursor stands before the first message.
TEST_F(MqiPutGet, RefusedBrowseKeepsTheCursor) {
  MQHOBJ b;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_BROWSE, b).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, q, "one").cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, q, "two, longer").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_NEXT, 0, 100).data, "one");
  Got refused = Get(c.hconn, b, MQGMO_BROWSE_NEXT, 0, 4);
  EXPECT_EQ(refused.r.rc, MQRC_TRUNCATED_MSG_FAILED);
  EXPECT_EQ(refused.data, "two,");
  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_MSG_UNDER_CURSOR, 0, 100).data, "one");
  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_NEXT, 0, 100).data, "two, longer");

  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_FIRST, 0, 2).r.rc, MQRC_TRUNCATED_MSG_FAILED);
  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_MSG_UNDER_CURSOR, 0, 100).r.rc, MQRC_NO_MSG_UNDER_CURSOR);
  EXPECT_EQ(Get(c.hconn, b, MQGMO_BROWSE_NEXT, 0, 100).data, "one");
  MQCLOSE(c.hconn, &b, MQCO_NONE, &refused.r.cc, &refused.r.rc);
}

TEST_F(MqiPutGet, WaitsEndByTimeOrByArrival) {
  auto start = std::chrono::steady_clock::now();
  Got none = Get(c.hconn, q, MQGMO_WAIT, 300);
  EXPECT_EQ(none.r.rc, MQRC_NO_MSG_AVAILABLE);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280));
  EXPECT_EQ(Get(c.hconn, q, MQGMO_WAIT, -5).r.rc, MQRC_WAIT_INTERVAL_ERROR);

  std::thread putter([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Connection other("QM.PUTGET");
    MQHOBJ o;
    Open(other.hconn, "Q1", MQOO_OUTPUT, o);
    Put(other.hconn, o, "woken");
  });
  start = std::chrono::steady_clock::now();
  Got woken = Get(c.hconn, q, MQGMO_WAIT, MQWI_UNLIMITED);
  putter.join();
  EXPECT_EQ(woken.data, "woken");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));  // woken, not polled
}

TEST_F(MqiPutGet, PriorityOrderThenArrival) {
  for (auto [text, prio] : {std::pair{"low", 1}, {"high", 7}, {"low2", 1}, {"mid", 4}}) {
    MQMD md = {MQMD_DEFAULT};
    md.Priority = prio;
    ASSERT_EQ(Put(c.hconn, q, md, text).cc, MQCC_OK);
  }
  MQMD md = {MQMD_DEFAULT};
  md.Priority = 12;
  Result over = Put(c.hconn, q, md, "capped");
  EXPECT_EQ(over.cc, MQCC_WARNING);
  EXPECT_EQ(over.rc, MQRC_PRIORITY_EXCEEDS_MAXIMUM);
  for (const char* want : {"capped", "high", "mid", "low", "low2"}) EXPECT_EQ(Get(c.hconn, q).data, want);
}

TEST_F(MqiPutGet, Put1WithIdentityContext) {
  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.UserIdentifier, "altuser     ", 12);
  ASSERT_EQ(Put1(c.hconn, "Q1", md, "one-shot", MQPMO_NO_SYNCPOINT | MQPMO_SET_IDENTITY_CONTEXT).cc, MQCC_OK);
  Got g = Get(c.hconn, q);
  EXPECT_EQ(g.data, "one-shot");
  EXPECT_EQ(Field(g.md.UserIdentifier), "altuser");
  EXPECT_EQ(Field(g.md.PutApplName), "test_mqi_put_get");

  // The identity passes from the handle that got the message (saved context).
  MQHOBJ out;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_PASS_IDENTITY_CONTEXT, out).cc, MQCC_OK);
  MQMD reply = {MQMD_DEFAULT};
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_PASS_IDENTITY_CONTEXT | MQPMO_NO_SYNCPOINT;
  pmo.Context = q;
  MQLONG cc, rc;
  MQPUT(c.hconn, out, &reply, &pmo, 5, const_cast<char*>("reply"), &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  EXPECT_EQ(Field(Get(c.hconn, q).md.UserIdentifier), "altuser");
  pmo.Context = out;  // not opened with SAVE_ALL_CONTEXT
  MQPUT(c.hconn, out, &reply, &pmo, 5, const_cast<char*>("reply"), &cc, &rc);
  EXPECT_EQ(rc, MQRC_CONTEXT_HANDLE_ERROR);
}

TEST_F(MqiPutGet, RefusedPuts) {
  MQHOBJ small;
  ASSERT_EQ(Open(c.hconn, "SMALL", MQOO_OUTPUT, small).cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, small, "01234567890").rc, MQRC_MSG_TOO_BIG_FOR_Q);
  EXPECT_EQ(Put(c.hconn, q, std::string(4 * 1024 * 1024 + 1, 'x')).rc, MQRC_MSG_TOO_BIG_FOR_Q_MGR);
  EXPECT_EQ(Put(c.hconn, small, "a").cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, small, "b").cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, small, "c").rc, MQRC_Q_FULL);

  ASSERT_TRUE(qm.Fault({"put-inhibit", "Q1"}));
  EXPECT_EQ(Put(c.hconn, q, "x").rc, MQRC_PUT_INHIBITED);
  MQMD md = {MQMD_DEFAULT};
  EXPECT_EQ(Put1(c.hconn, "Q1", md, "x").rc, MQRC_PUT_INHIBITED);
  ASSERT_TRUE(qm.Fault({"put-allow", "Q1"}));
  EXPECT_EQ(Put(c.hconn, q, "x").cc, MQCC_OK);

  EXPECT_EQ(Put1(c.hconn, "NO.SUCH.QUEUE", md, "x").rc, MQRC_UNKNOWN_OBJECT_NAME);
  MQMD request = {MQMD_DEFAULT};
  request.MsgType = MQMT_REQUEST;
  EXPECT_EQ(Put(c.hconn, q, request, "x").rc, MQRC_MISSING_REPLY_TO_Q);
  MQMD zero_expiry = {MQMD_DEFAULT};
  zero_expiry.Expiry = 0;
  EXPECT_EQ(Put(c.hconn, q, zero_expiry, "x").rc, MQRC_EXPIRY_ERROR);
  MQMD bad = {MQMD_DEFAULT};
  bad.StrucId[0] = 'X';
  EXPECT_EQ(Put(c.hconn, q, bad, "x").rc, MQRC_MD_ERROR);
  EXPECT_EQ(Put(c.hconn, 12345, "x").rc, MQRC_HOBJ_ERROR);
}

TEST_F(MqiPutGet, OpenOptionsAndExclusiveInput) {
  MQHOBJ h;
  EXPECT_EQ(Open(c.hconn, "NO.SUCH.QUEUE", MQOO_OUTPUT, h).rc, MQRC_UNKNOWN_OBJECT_NAME);
  EXPECT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED | MQOO_INPUT_EXCLUSIVE, h).rc, MQRC_OPTIONS_ERROR);
  EXPECT_EQ(Open(c.hconn, "Q1", 0, h).rc, MQRC_OPTIONS_ERROR);
  EXPECT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_EXCLUSIVE, h).rc, MQRC_OBJECT_IN_USE);
  MQHOBJ out;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, out).r.rc, MQRC_NOT_OPEN_FOR_INPUT);
  ASSERT_EQ(Close(c.hconn, q).cc, MQCC_OK);
  EXPECT_EQ(q, MQHO_UNUSABLE_HOBJ);
  MQHOBJ ex;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_EXCLUSIVE, ex).cc, MQCC_OK);
  EXPECT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, h).rc, MQRC_OBJECT_IN_USE);
}
