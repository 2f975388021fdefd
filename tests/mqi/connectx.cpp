// MQCONNX: its options structure, handle sharing between threads, the application name and
// connection id, and client connections named by MQSERVER or by an MQCD.
#include <cmqc.h>
#include <cmqxc.h>

#include <dlfcn.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

Result Connx(const std::string& qm, MQCNO* cno, MQHCONN& h) {
  std::string name = qm;
  name.resize(48, '\0');
  Result r;
  MQCONNX(name.data(), cno, &h, &r.cc, &r.rc);
  return r;
}

void Disc(MQHCONN& h) {
  MQLONG cc, rc;
  MQDISC(&h, &cc, &rc);
}

int RecordedPort(const vrqtest::StandinQm& qm) {
  std::ifstream in(qm.dir() + "/" + qm.name() + "/qm.port");
  int port = 0;
  in >> port;
  return port;
}

}  // namespace

TEST(MqiConnx, OptionsStructureIsChecked) {
  vrqtest::StandinQm qm("QM.CONNX");
  MQHCONN h = 77;
  Result r = Connx("QM.CONNX", nullptr, h);
  EXPECT_EQ(r.rc, MQRC_CNO_ERROR);
  EXPECT_EQ(h, MQHC_UNUSABLE_HCONN);
  MQCNO cno = {MQCNO_DEFAULT};
  cno.StrucId[0] = 'X';
  EXPECT_EQ(Connx("QM.CONNX", &cno, h).rc, MQRC_CNO_ERROR);
  cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_CURRENT_VERSION + 1;
  EXPECT_EQ(Connx("QM.CONNX", &cno, h).rc, MQRC_CNO_ERROR);
  cno = {MQCNO_DEFAULT};
  cno.Options = MQCNO_HANDLE_SHARE_BLOCK | MQCNO_HANDLE_SHARE_NO_BLOCK;
  EXPECT_EQ(Connx("QM.CONNX", &cno, h).rc, MQRC_OPTIONS_ERROR);
  cno.Options = MQCNO_CLIENT_BINDING | MQCNO_LOCAL_BINDING;
  EXPECT_EQ(Connx("QM.CONNX", &cno, h).rc, MQRC_OPTIONS_ERROR);
  // A channel table that cannot be read, or one fetched over the network, is refused.
  cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_VERSION_6;
  cno.Options = MQCNO_CLIENT_BINDING;
  for (const char* table : {"file:///nonexistent/ccdt.json", "http://localhost/ccdt.json"}) {
    cno.CCDTUrlPtr = const_cast<char*>(table);
    cno.CCDTUrlLength = static_cast<MQLONG>(std::strlen(table));
    EXPECT_EQ(Connx("QM.CONNX", &cno, h).rc, MQRC_CCDT_URL_ERROR);
  }
  EXPECT_EQ(Connx("NO.SUCH.QM", nullptr, h).rc, MQRC_CNO_ERROR);
  cno = {MQCNO_DEFAULT};
  EXPECT_EQ(Connx("NO.SUCH.QM", &cno, h).rc, MQRC_Q_MGR_NAME_ERROR);
}

TEST(MqiConnx, SharedHandlesAreSeparateConnectionsUsableFromAnyThread) {
  vrqtest::StandinQm qm("QM.CONNX", "DEFINE QLOCAL(Q1)\n");
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Options = MQCNO_HANDLE_SHARE_BLOCK;
  MQHCONN a = MQHC_UNUSABLE_HCONN, b = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(Connx("QM.CONNX", &cno, a).cc, MQCC_OK);
  ASSERT_EQ(Connx("QM.CONNX", &cno, b).cc, MQCC_OK);
  EXPECT_NE(a, b);
  // Each has its own unit of work: b does not see what a put under syncpoint.
  MQHOBJ qa, qb;
  ASSERT_EQ(Open(a, "Q1", MQOO_OUTPUT, qa).cc, MQCC_OK);
  ASSERT_EQ(Open(b, "Q1", MQOO_INPUT_SHARED, qb).cc, MQCC_OK);
  ASSERT_EQ(Put(a, qa, "pending", MQPMO_SYNCPOINT).cc, MQCC_OK);
  EXPECT_EQ(Get(b, qb).r.rc, MQRC_NO_MSG_AVAILABLE);
  Result committed;
  std::thread([&] { MQCMIT(a, &committed.cc, &committed.rc); }).join();
  EXPECT_EQ(committed.cc, MQCC_OK);
  EXPECT_EQ(Get(b, qb).data, "pending");
  Disc(a);
  Disc(b);
}

TEST(MqiConnx, UnsharedHandleBelongsToItsThread) {
  vrqtest::StandinQm qm("QM.CONNX", "DEFINE QLOCAL(Q1)\n");
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Options = MQCNO_HANDLE_SHARE_NONE;
  MQHCONN h = MQHC_UNUSABLE_HCONN, again = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(Connx("QM.CONNX", &cno, h).cc, MQCC_OK);
  Result second = Connx("QM.CONNX", &cno, again);
  EXPECT_EQ(second.rc, MQRC_ALREADY_CONNECTED);
  EXPECT_EQ(again, h);
  Result other;
  std::thread([&] {
    MQHOBJ o;
    other = Open(h, "Q1", MQOO_OUTPUT, o);
  }).join();
  EXPECT_EQ(other.rc, MQRC_HCONN_ERROR);
  MQHOBJ o;
  EXPECT_EQ(Open(h, "Q1", MQOO_OUTPUT, o).cc, MQCC_OK);
  Disc(h);
}

TEST(MqiConnx, NoBlockHandleBusyOnAnotherThreadSaysCallInProgress) {
  vrqtest::StandinQm qm("QM.CONNX", "DEFINE QLOCAL(Q1)\nDEFINE QLOCAL(Q2)\n");
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Options = MQCNO_HANDLE_SHARE_NO_BLOCK;
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(Connx("QM.CONNX", &cno, h).cc, MQCC_OK);
  MQHOBJ in, out, other;
  ASSERT_EQ(Open(h, "Q1", MQOO_INPUT_SHARED, in).cc, MQCC_OK);
  ASSERT_EQ(Open(h, "Q1", MQOO_OUTPUT, out).cc, MQCC_OK);
  ASSERT_EQ(Open(h, "Q2", MQOO_OUTPUT, other).cc, MQCC_OK);
  Got got;
  // The waiter's get may itself meet one of the probes below: it tries again.
  std::thread waiter([&] {
    do got = Get(h, in, MQGMO_WAIT, 120000);
    while (got.r.rc == MQRC_CALL_IN_PROGRESS);
  });
  // Puts to Q2 go through until the waiter's get is under way, however long its thread
  // takes to start; from then on the handle is busy.
  MQLONG rc = MQRC_NONE;
  for (int i = 0; i < 1200 && rc != MQRC_CALL_IN_PROGRESS; ++i) {
    rc = Put(h, other, "probe").rc;
    if (rc != MQRC_CALL_IN_PROGRESS) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(rc, MQRC_CALL_IN_PROGRESS);
  EXPECT_EQ(Put(h, out, "x").rc, MQRC_CALL_IN_PROGRESS);
  {
    // Another connection's put ends the wait.
    Connection second("QM.CONNX");
    MQHOBJ o;
    ASSERT_EQ(Open(second.hconn, "Q1", MQOO_OUTPUT, o).cc, MQCC_OK);
    EXPECT_EQ(Put(second.hconn, o, "wake").cc, MQCC_OK);
  }
  waiter.join();
  EXPECT_EQ(got.data, "wake");
  EXPECT_EQ(Put(h, out, "x").cc, MQCC_OK);
  Disc(h);
}

TEST(MqiConnx, ApplicationNameAndConnectionId) {
  vrqtest::StandinQm qm("QM.CONNX", "DEFINE QLOCAL(Q1)\n");
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_VERSION_7;
  cno.Options = MQCNO_HANDLE_SHARE_BLOCK;
  std::memcpy(cno.ApplName, "payroll-nightly", 15);
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(Connx("QM.CONNX", &cno, h).cc, MQCC_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(cno.ConnectionId), 4), "MQCT");
  MQCNO other = cno;
  MQHCONN h2 = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(Connx("QM.CONNX", &other, h2).cc, MQCC_OK);
  EXPECT_NE(std::memcmp(cno.ConnectionId, other.ConnectionId, sizeof cno.ConnectionId), 0);
  MQHOBJ o;
  ASSERT_EQ(Open(h, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, o).cc, MQCC_OK);
  ASSERT_EQ(Put(h, o, "x").cc, MQCC_OK);
  Got g = Get(h, o);
  EXPECT_EQ(Field(g.md.PutApplName), "payroll-nightly");
  Disc(h);
  Disc(h2);
}

TEST(MqiConnx, ClientConnectionsByMqserverAndByChannelDefinition) {
  int port = 0;
  vrqtest::StandinQm* started = nullptr;
  {
    ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
    started = new vrqtest::StandinQm("QM.CLIENT", "DEFINE QLOCAL(Q1)\n");
  }
  std::unique_ptr<vrqtest::StandinQm> qm(started);
  ASSERT_TRUE(qm->running());
  port = RecordedPort(*qm);
  ASSERT_GT(port, 0);
  const std::string conn = "127.0.0.1(" + std::to_string(port) + ")";
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Options = MQCNO_CLIENT_BINDING | MQCNO_HANDLE_SHARE_BLOCK;
  {
    const std::string server = "SYSTEM.DEF.SVRCONN/TCP/" + conn;
    ScopedEnv env("MQSERVER", server.c_str());
    MQHCONN h = MQHC_UNUSABLE_HCONN;
    ASSERT_EQ(Connx("", &cno, h).cc, MQCC_OK);   // blank: whichever queue manager listens there
    MQHOBJ o;
    ASSERT_EQ(Open(h, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, o).cc, MQCC_OK);
    ASSERT_EQ(Put(h, o, "over tcp").cc, MQCC_OK);
    Got g = Get(h, o);
    EXPECT_EQ(g.data, "over tcp");
    EXPECT_EQ(Field(g.md.ReplyToQMgr), "QM.CLIENT");
    Disc(h);
    // The name asked for must be the listener's queue manager's.
    EXPECT_EQ(Connx("QM.OTHER", &cno, h).rc, MQRC_Q_MGR_NAME_ERROR);
  }
  {
    MQCD cd = {MQCD_CLIENT_CONN_DEFAULT};
    std::memcpy(cd.ConnectionName, conn.data(), conn.size());
    cno.Version = MQCNO_VERSION_2;
    cno.ClientConnPtr = &cd;
    MQHCONN h = MQHC_UNUSABLE_HCONN;
    ASSERT_EQ(Connx("QM.CLIENT", &cno, h).cc, MQCC_OK);
    EXPECT_EQ(Depth(h, "Q1"), 0);
    // MQBEGIN has no meaning for a client connection.
    Result begin;
    MQBEGIN(h, nullptr, &begin.cc, &begin.rc);
    EXPECT_EQ(begin.rc, MQRC_ENVIRONMENT_ERROR);
    Disc(h);
    std::memset(cd.ConnectionName, ' ', sizeof cd.ConnectionName);
    std::memcpy(cd.ConnectionName, "127.0.0.1(", 10);
    EXPECT_EQ(Connx("QM.CLIENT", &cno, h).rc, MQRC_CD_ERROR);
  }
  cno.Version = MQCNO_VERSION_1;
  {
    ScopedEnv env("MQSERVER", "CHANNEL-WITHOUT-TRANSPORT");
    MQHCONN h;
    EXPECT_EQ(Connx("", &cno, h).rc, MQRC_CHANNEL_CONFIG_ERROR);
  }
  {
    ScopedEnv env("MQSERVER", nullptr);
    MQHCONN h;
    EXPECT_EQ(Connx("", &cno, h).rc, MQRC_Q_MGR_NAME_ERROR);
  }
  ASSERT_TRUE(qm->Stop());
  {
    const std::string server = "SYSTEM.DEF.SVRCONN/TCP/" + conn;
    ScopedEnv env("MQSERVER", server.c_str());
    MQHCONN h;
    EXPECT_EQ(Connx("", &cno, h).rc, MQRC_HOST_NOT_AVAILABLE);
  }
}

// libmqic_r: the same verbs, but only client connections; MQCONN takes MQSERVER.
TEST(MqiConnx, ClientLibraryConnectsOnlyOverTcp) {
  void* lib = dlopen(VRQ_MQIC_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  using ConnFn = void (*)(PMQCHAR, PMQHCONN, PMQLONG, PMQLONG);
  using DiscFn = void (*)(PMQHCONN, PMQLONG, PMQLONG);
  using InqFn = void (*)(MQHCONN, MQHOBJ, MQLONG, PMQLONG, MQLONG, PMQLONG, MQLONG, PMQCHAR, PMQLONG, PMQLONG);
  using OpenFn = void (*)(MQHCONN, PMQVOID, MQLONG, PMQHOBJ, PMQLONG, PMQLONG);
  auto conn = reinterpret_cast<ConnFn>(dlsym(lib, "MQCONN"));
  auto disc = reinterpret_cast<DiscFn>(dlsym(lib, "MQDISC"));
  auto open = reinterpret_cast<OpenFn>(dlsym(lib, "MQOPEN"));
  auto inq = reinterpret_cast<InqFn>(dlsym(lib, "MQINQ"));
  ASSERT_TRUE(conn && disc && open && inq && dlsym(lib, "MQCONNX") && dlsym(lib, "MQSUB") && dlsym(lib, "MQCB"));
  vrqtest::StandinQm* started = nullptr;
  {
    ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
    started = new vrqtest::StandinQm("QM.MQIC", "DEFINE QLOCAL(Q1)\n");
  }
  std::unique_ptr<vrqtest::StandinQm> qm(started);
  const std::string server = "SYSTEM.DEF.SVRCONN/TCP/localhost(" + std::to_string(RecordedPort(*qm)) + ")";
  char name[48] = "QM.MQIC";
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  MQLONG cc, rc;
  {
    // The queue manager exists on this machine, but the client library does not look there.
    ScopedEnv env("MQSERVER", nullptr);
    conn(name, &h, &cc, &rc);
    EXPECT_EQ(rc, MQRC_Q_MGR_NAME_ERROR);
  }
  ScopedEnv env("MQSERVER", server.c_str());
  conn(name, &h, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  MQOD od = {MQOD_DEFAULT};
  od.ObjectType = MQOT_Q_MGR;
  MQHOBJ o;
  open(h, &od, MQOO_INQUIRE, &o, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);
  MQLONG selector = MQCA_Q_MGR_NAME;
  char qmname[48];
  inq(h, o, 1, &selector, 0, nullptr, sizeof qmname, qmname, &cc, &rc);
  EXPECT_EQ(Field(qmname), "QM.MQIC");
  disc(&h, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  dlclose(lib);
}
