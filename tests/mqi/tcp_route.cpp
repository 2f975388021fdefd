// The loopback TCP route that the Windows client library takes: a queue manager started
// with VRQSIM_TCP_PORT listens on 127.0.0.1 as well and records its port, and a client
// with the variable set reaches it there; bad port values are refused at start.
#include <cmqc.h>

#include <cstdlib>
#include <fstream>

#include "mqi_test.h"

using namespace mqitest;

namespace {

int RecordedPort(const vrqtest::StandinQm& qm) {
  std::ifstream in(qm.dir() + "/" + qm.name() + "/qm.port");
  int port = 0;
  in >> port;
  return port;
}

}  // namespace

TEST(MqiTcpRoute, PutAndGetOverLoopbackTcp) {
  ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
  vrqtest::StandinQm qm("QM.TCP", "DEFINE QLOCAL(Q1)\n");
  ASSERT_TRUE(qm.running());
  const int port = RecordedPort(qm);
  ASSERT_GT(port, 0);
  ASSERT_LE(port, 65535);

  Connection c("QM.TCP");
  ASSERT_EQ(c.r.cc, MQCC_OK);
  MQHOBJ out, in;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  EXPECT_EQ(Put(c.hconn, out, "over tcp").cc, MQCC_OK);
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_AS_Q_DEF, in).cc, MQCC_OK);
  const Got got = Get(c.hconn, in);
  EXPECT_EQ(got.r.cc, MQCC_OK);
  EXPECT_EQ(got.data, "over tcp");
}

TEST(MqiTcpRoute, ExplicitPortAndMissingListener) {
  vrqtest::StandinQm qm("QM.TCP");
  ASSERT_TRUE(qm.running());
  // The queue manager was started without the variable: nobody listens on TCP, and the
  // client does not fall back to the Unix-domain socket.
  ScopedEnv tcp("VRQSIM_TCP_PORT", "1");
  Connection c("QM.TCP");
  EXPECT_EQ(c.r.cc, MQCC_FAILED);
  EXPECT_EQ(c.r.rc, MQRC_Q_MGR_NOT_AVAILABLE);
}

TEST(MqiTcpRoute, BadPortValueStopsTheStart) {
  vrqtest::StandinQm qm("QM.TCP");
  ASSERT_TRUE(qm.Stop());
  for (const char* bad : {"70000", "12ab", "-1"}) {
    ScopedEnv tcp("VRQSIM_TCP_PORT", bad);
    EXPECT_FALSE(qm.Start()) << bad;
  }
}
