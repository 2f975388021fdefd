// Connecting and disconnecting: names, the default queue manager, a second MQCONN on the
// same thread, and what clients see when the queue manager or the connection goes away.
#include <cmqc.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

TEST(MqiConnect, NamesAndDefaultQueueManager) {
  vrqtest::StandinQm qm("QM.CONNECT");
  ASSERT_TRUE(qm.running());
  {
    Connection by_name("QM.CONNECT");
    EXPECT_EQ(by_name.r.cc, MQCC_OK);
    EXPECT_GT(by_name.hconn, 0);
  }
  {
    Connection by_default("");
    EXPECT_EQ(by_default.r.rc, MQRC_NONE);
  }
  Connection bad("BAD NAME!");
  EXPECT_EQ(bad.r.cc, MQCC_FAILED);
  EXPECT_EQ(bad.r.rc, MQRC_Q_MGR_NAME_ERROR);
  Connection unknown("NO.SUCH.QM");
  EXPECT_EQ(unknown.r.rc, MQRC_Q_MGR_NAME_ERROR);
}

TEST(MqiConnect, SecondConnectOnThreadReturnsSameHandle) {
  vrqtest::StandinQm qm("QM.CONNECT");
  Connection first("QM.CONNECT");
  ASSERT_EQ(first.r.cc, MQCC_OK);
  MQHCONN second;
  MQLONG cc, rc;
  MQCONN(const_cast<char*>("QM.CONNECT"), &second, &cc, &rc);
  EXPECT_EQ(cc, MQCC_WARNING);
  EXPECT_EQ(rc, MQRC_ALREADY_CONNECTED);
  EXPECT_EQ(second, first.hconn);
}

TEST(MqiConnect, StoppedQueueManagerIsNotAvailableAtOnce) {
  vrqtest::StandinQm qm("QM.CONNECT");
  ASSERT_TRUE(qm.Stop());
  const auto start = std::chrono::steady_clock::now();
  Connection c("QM.CONNECT");
  EXPECT_EQ(c.r.cc, MQCC_FAILED);
  EXPECT_EQ(c.r.rc, MQRC_Q_MGR_NOT_AVAILABLE);
  // No waiting for a queue manager to come: well inside the test's limit, however busy the
  // machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(MqiConnect, ServerDeathAndDroppedConnectionsGiveConnectionBroken) {
  vrqtest::StandinQm qm("QM.CONNECT", "DEFINE QLOCAL(Q1)\n");
  {
    Connection c("QM.CONNECT");
    MQHOBJ o;
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, o).cc, MQCC_OK);
    ASSERT_TRUE(qm.Fault({"drop-connections"}));
    EXPECT_EQ(Put(c.hconn, o, "x").rc, MQRC_CONNECTION_BROKEN);
    EXPECT_EQ(Put(c.hconn, o, "x").rc, MQRC_CONNECTION_BROKEN);
  }
  {
    Connection waiting("QM.CONNECT");
    MQHOBJ in;
    ASSERT_EQ(Open(waiting.hconn, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
    // A get waiting for ever ends with 2009 when the queue manager dies under it.
    const pid_t killer = fork();
    if (killer == 0) {
      usleep(300 * 1000);
      _exit(qm.Fault({"crash"}) ? 0 : 1);
    }
    Got g = Get(waiting.hconn, in, MQGMO_WAIT, MQWI_UNLIMITED);
    int status = 0;
    waitpid(killer, &status, 0);
    EXPECT_EQ(g.r.cc, MQCC_FAILED);
    EXPECT_EQ(g.r.rc, MQRC_CONNECTION_BROKEN);
  }
  Connection after("QM.CONNECT");
  EXPECT_EQ(after.r.rc, MQRC_Q_MGR_NOT_AVAILABLE);
}

TEST(MqiConnect, VanishedClientIsBackedOutAndDisconnectCommits) {
  vrqtest::StandinQm qm("QM.CONNECT", "DEFINE QLOCAL(Q1)\n");
  {
    Connection c("QM.CONNECT");
    MQHOBJ o;
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, o).cc, MQCC_OK);
    ASSERT_EQ(Put(c.hconn, o, "kept").cc, MQCC_OK);
  }
  // A child process gets the message and puts another under syncpoint, then dies.
  const pid_t child = fork();
  if (child == 0) {
    MQHCONN h;
    MQLONG cc, rc;
    MQCONN(const_cast<char*>("QM.CONNECT"), &h, &cc, &rc);
    MQHOBJ q;
    Open(h, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q);
    Got g = Get(h, q, MQGMO_SYNCPOINT);
    Result p = Put(h, q, "lost", MQPMO_SYNCPOINT);
    _exit(g.r.cc == MQCC_OK && p.cc == MQCC_OK ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  Connection c("QM.CONNECT");
  MQHOBJ o;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, o).cc, MQCC_OK);
  Got back = Get(c.hconn, o, MQGMO_WAIT, 2000);
  ASSERT_EQ(back.r.cc, MQCC_OK);
  EXPECT_EQ(back.data, "kept");
  EXPECT_EQ(back.md.BackoutCount, 1);
  EXPECT_EQ(Get(c.hconn, o).r.rc, MQRC_NO_MSG_AVAILABLE);

  // MQDISC (on another thread, so another connection) commits what its unit of work holds.
  std::thread([&] {
    Connection other("QM.CONNECT");
    MQHOBJ q;
    ASSERT_EQ(Open(other.hconn, "Q1", MQOO_OUTPUT, q).cc, MQCC_OK);
    ASSERT_EQ(Put(other.hconn, q, "committed", MQPMO_SYNCPOINT).cc, MQCC_OK);
    EXPECT_EQ(Get(c.hconn, o).r.rc, MQRC_NO_MSG_AVAILABLE);
  }).join();
  EXPECT_EQ(Get(c.hconn, o).data, "committed");
}
