// The recovery log: what a restart after a crash brings back (committed persistent
// messages with their descriptors and order, in-flight units of work backed out, run-time
// definitions), a torn last record against damage elsewhere, write faults that fail the
// call and leave everything as it was, and a log that checkpoints instead of growing.
#include "mqi_test.h"

#include <cmqc.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace mqitest;

namespace {

std::string LogFile(const vrqtest::StandinQm& qm) { return qm.dir() + "/" + qm.name() + "/recovery.log"; }

MQMD Persistent(const std::string& correl = "") {
  MQMD md = {MQMD_DEFAULT};
  md.Persistence = MQPER_PERSISTENT;
  std::memcpy(md.CorrelId, correl.data(), std::min(correl.size(), sizeof md.CorrelId));
  return md;
}

MQLONG Commit(MQHCONN h) {
  MQLONG cc, rc;
  MQCMIT(h, &cc, &rc);
  return rc;
}

MQLONG IntAttr(MQHCONN h, const std::string& queue, MQLONG selector) {
  MQHOBJ o;
  if (Open(h, queue, MQOO_INQUIRE, o).cc != MQCC_OK) return -1;
  MQLONG value = -1, cc, rc;
  MQINQ(h, o, 1, &selector, 1, &value, 0, nullptr, &cc, &rc);
  Close(h, o);
  return value;
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

TEST(MqiRecoveryLog, CrashKeepsCommittedWorkAndDefinitions) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.RLOG", "DEFINE QLOCAL(APP.IN)\nDEFINE QLOCAL(APP.GONE)\n");
  ASSERT_TRUE(qm.running());
  const std::string n = qm.name();
  ASSERT_EQ(qm.Command({"define", n, "QLOCAL(APP.NEW)", "MAXDEPTH(50)", "DESCR('made at run time')"}).status, 0);
  ASSERT_EQ(qm.Command({"alter", n, "QLOCAL(APP.IN)", "MAXDEPTH(77)"}).status, 0);
  ASSERT_EQ(qm.Command({"delete", n, "QLOCAL(APP.GONE)"}).status, 0);

  MQMD put[3];
  {
    Connection c(n), other(n);
    MQHOBJ q, q2, fresh;
    ASSERT_EQ(Open(c.hconn, "APP.IN", MQOO_OUTPUT, q).cc, MQCC_OK);
    ASSERT_EQ(Open(other.hconn, "APP.IN", MQOO_OUTPUT | MQOO_INPUT_SHARED, q2).cc, MQCC_OK);
    ASSERT_EQ(Open(c.hconn, "APP.NEW", MQOO_OUTPUT, fresh).cc, MQCC_OK);
    const char* texts[] = {"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
      put[i] = Persistent(std::string("C") + texts[i]);
      ASSERT_EQ(Put(c.hconn, q, put[i], texts[i]).cc, MQCC_OK);
      ASSERT_EQ(Put(c.hconn, q, std::string("not persistent ") + texts[i]).cc, MQCC_OK);
    }
    MQMD committed = Persistent(), pending = Persistent(), kept = Persistent();
    ASSERT_EQ(Put(c.hconn, q, committed, "under syncpoint", MQPMO_SYNCPOINT).cc, MQCC_OK);
    ASSERT_EQ(Commit(c.hconn), MQRC_NONE);
    ASSERT_EQ(Put(c.hconn, fresh, kept, "on a run-time queue").cc, MQCC_OK);
    // In flight at the crash: a get (the first message comes back with BackoutCount 1) and
    // a put (gone).
    ASSERT_EQ(Get(other.hconn, q2, MQGMO_SYNCPOINT).data, "one");
    ASSERT_EQ(Put(other.hconn, q2, pending, "never committed", MQPMO_SYNCPOINT).cc, MQCC_OK);
    ASSERT_TRUE(qm.Fault({"crash"}));
  }
  ASSERT_TRUE(qm.Start());

  for (int round = 0; round < 2; ++round) {
    {
      Connection c(n);
      EXPECT_EQ(IntAttr(c.hconn, "APP.IN", MQIA_MAX_Q_DEPTH), 77);
      EXPECT_EQ(IntAttr(c.hconn, "APP.NEW", MQIA_MAX_Q_DEPTH), 50);
      MQHOBJ gone;
      EXPECT_EQ(Open(c.hconn, "APP.GONE", MQOO_INQUIRE, gone).rc, MQRC_UNKNOWN_OBJECT_NAME);
      MQHOBJ q;
      ASSERT_EQ(Open(c.hconn, "APP.IN", MQOO_INPUT_SHARED | MQOO_BROWSE, q).cc, MQCC_OK);
      // The first round browses, the second takes the messages.
      const MQLONG first = round == 0 ? MQGMO_BROWSE_FIRST : MQGMO_NO_SYNCPOINT;
      const MQLONG next = round == 0 ? MQGMO_BROWSE_NEXT : MQGMO_NO_SYNCPOINT;
      for (int i = 0; i < 3; ++i) {
        Got g = Get(c.hconn, q, i == 0 ? first : next);
        ASSERT_EQ(g.r.cc, MQCC_OK) << "message " << i << " round " << round;
        EXPECT_EQ(std::memcmp(g.md.MsgId, put[i].MsgId, sizeof g.md.MsgId), 0);
        EXPECT_EQ(std::memcmp(g.md.CorrelId, put[i].CorrelId, sizeof g.md.CorrelId), 0);
        EXPECT_EQ(std::memcmp(g.md.PutApplName, put[i].PutApplName, sizeof g.md.PutApplName), 0);
        EXPECT_EQ(std::memcmp(g.md.PutTime, put[i].PutTime, sizeof g.md.PutTime), 0);
        EXPECT_EQ(Field(g.md.UserIdentifier), Field(put[i].UserIdentifier));
        EXPECT_EQ(g.md.Persistence, MQPER_PERSISTENT);
        EXPECT_EQ(g.md.BackoutCount, i == 0 ? 1 : 0);
      }
      EXPECT_EQ(Get(c.hconn, q, next).data, "under syncpoint");
      EXPECT_EQ(Get(c.hconn, q, next).r.rc, MQRC_NO_MSG_AVAILABLE);
      EXPECT_EQ(Depth(c.hconn, "APP.NEW"), 1);
    }
    // A clean stop and start keeps the same; after the second round's gets, nothing.
    ASSERT_TRUE(qm.Stop());
    ASSERT_TRUE(qm.Start());
  }
  Connection c(n);
  EXPECT_EQ(Depth(c.hconn, "APP.IN"), 0);
}

TEST(MqiRecoveryLog, TornEndIgnoredDamageStopsTheStart) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.RLOG.DAMAGE", "DEFINE QLOCAL(Q1)\n");
  ASSERT_TRUE(qm.running());
  {
    Connection c(qm.name());
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT, q).cc, MQCC_OK);
    for (const char* text : {"first", "second"}) {
      MQMD md = Persistent();
      ASSERT_EQ(Put(c.hconn, q, md, text).cc, MQCC_OK);
    }
  }
  ASSERT_TRUE(qm.Stop());
  const std::string path = LogFile(qm);
  const std::string original = vrqtest::ReadFile(path);
  ASSERT_GT(original.size(), 40u);

  struct Case {
    const char* what;
    std::string log;
    bool starts;
  };
  std::string flipped = original;
  flipped[8 + 9 + 3] ^= 0x40;    // inside the first record after the signature
  std::string torn_length = original;
  torn_length.append("\x40\x00\x00\x00\x01\x02\x03\x04\x04short", 14);
  const Case cases[] = {
      {"a partial header at the end", original + std::string("\x10\x00\x00", 3), true},
      {"a record cut short at the end", torn_length, true},
      {"zeros at the end", original + std::string(64, '\0'), true},
      {"a flipped byte in the middle", flipped, false},
      {"not a recovery log", "garbage" + original, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vrqtest::WriteFile(path, c.log);
    const auto r = qm.Command({"start", qm.name()});
    if (!c.starts) {
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find(path + " is damaged at offset "), std::string::npos) << r.err;
      EXPECT_EQ(vrqtest::ReadFile(path), c.log) << "the damaged log was changed";
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    {
      Connection conn(qm.name());
      EXPECT_EQ(Depth(conn.hconn, "Q1"), 2);
    }
    EXPECT_EQ(qm.Command({"stop", qm.name()}).status, 0);
  }
  vrqtest::WriteFile(path, original);
  EXPECT_TRUE(qm.Start());
}

// A log that cannot be written fails the call with the reason IBM MQ gives (2102; a
// commit: backed out, 2003), changes nothing, and the queue manager goes on once the
// log can be written again.
TEST(MqiRecoveryLog, WriteFaultFailsTheCallAndChangesNothing) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.RLOG.FAULT", "DEFINE QLOCAL(Q1)\n");
  ASSERT_TRUE(qm.running());
  const std::string n = qm.name();
  {
    Connection c(n);
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
    MQMD kept = Persistent(), pending = Persistent();
    ASSERT_EQ(Put(c.hconn, q, kept, "kept").cc, MQCC_OK);
    ASSERT_EQ(Put(c.hconn, q, pending, "pending", MQPMO_SYNCPOINT).cc, MQCC_OK);
    ASSERT_TRUE(qm.Fault({"log-write-fail"}));

    MQMD md = Persistent();
    const Result put = Put(c.hconn, q, md, "refused");
    EXPECT_EQ(put.cc, MQCC_FAILED);
    EXPECT_EQ(put.rc, MQRC_RESOURCE_PROBLEM);
    md = Persistent();
    EXPECT_EQ(Put(c.hconn, q, md, "refused too", MQPMO_SYNCPOINT).rc, MQRC_RESOURCE_PROBLEM);
    MQLONG cc, rc;
    MQCMIT(c.hconn, &cc, &rc);
    EXPECT_EQ(cc, MQCC_FAILED);
    EXPECT_EQ(rc, MQRC_BACKED_OUT);
    EXPECT_EQ(Get(c.hconn, q).r.rc, MQRC_RESOURCE_PROBLEM);
    EXPECT_EQ(Get(c.hconn, q, MQGMO_SYNCPOINT).r.rc, MQRC_RESOURCE_PROBLEM);
    EXPECT_EQ(Depth(c.hconn, "Q1"), 1);
    EXPECT_EQ(Put(c.hconn, q, "not persistent").cc, MQCC_OK);
    EXPECT_EQ(Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 4096, &kept).r.rc, MQRC_RESOURCE_PROBLEM);
    const auto define = qm.Command({"define", n, "QLOCAL(Q2)"});
    EXPECT_EQ(define.status, 1);
    EXPECT_NE(define.err.find("recovery log cannot be written"), std::string::npos) << define.err;
    MQHOBJ q2;
    EXPECT_EQ(Open(c.hconn, "Q2", MQOO_INQUIRE, q2).rc, MQRC_UNKNOWN_OBJECT_NAME);

    ASSERT_TRUE(qm.Fault({"log-write-ok"}));
    md = Persistent();
    EXPECT_EQ(Put(c.hconn, q, md, "after").cc, MQCC_OK);
    EXPECT_EQ(qm.Command({"define", n, "QLOCAL(Q2)"}).status, 0);
    ASSERT_TRUE(qm.Fault({"crash"}));
  }
  ASSERT_TRUE(qm.Start());
  Connection c(n);
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, q).data, "kept");
  EXPECT_EQ(Get(c.hconn, q).data, "after");
  EXPECT_EQ(Get(c.hconn, q).r.rc, MQRC_NO_MSG_AVAILABLE);
  EXPECT_EQ(Depth(c.hconn, "Q2"), 0);
}

// The same on a real full disk: a small tmpfs holds the queue manager's folder. Mounting
// one needs root; elsewhere the test is skipped.
TEST(MqiRecoveryLog, FullDiskFailsTheCallAndRecoversWhenSpaceReturns) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::TempDir mnt;
  if (geteuid() != 0 || mount("tmpfs", mnt.path().c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{mnt.path()};
  const std::string qmdir = mnt.path() + "/qms";
  ScopedEnv env("VRQSIM_DIR", qmdir.c_str());
  const auto sim = [&](std::vector<std::string> args) {
    args.insert(args.begin(), vrqtest::StandinQm::ServerPath());
    return vrqtest::Run(args, {"VRQSIM_DIR=" + qmdir});
  };
  ASSERT_EQ(sim({"create", "QM.FULL", "-D"}).status, 0);
  ASSERT_EQ(sim({"start", "QM.FULL"}).status, 0);
  // Space the operator can give back.
  const std::string filler = mnt.path() + "/filler";
  vrqtest::WriteFile(filler, std::string(256 * 1024, 'f'));
  int stored = 0;
  {
    Connection c("QM.FULL");
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "SYSTEM.DEFAULT.LOCAL.QUEUE", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
    const std::string big(64 * 1024, 'x');
    Result r;
    for (; stored < 64; ++stored) {
      MQMD md = Persistent();
      r = Put(c.hconn, q, md, big);
      if (r.cc != MQCC_OK) break;
    }
    EXPECT_EQ(r.rc, MQRC_RESOURCE_PROBLEM);
    EXPECT_LT(stored, 64);
    EXPECT_EQ(Depth(c.hconn, "SYSTEM.DEFAULT.LOCAL.QUEUE"), stored);
    unlink(filler.c_str());
    for (int i = 0; i < stored / 2; ++i) ASSERT_EQ(Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 70000).r.cc, MQCC_OK);
    MQMD md = Persistent();
    EXPECT_EQ(Put(c.hconn, q, md, "fits again").cc, MQCC_OK);
    stored = stored - stored / 2 + 1;
    EXPECT_EQ(sim({"fault", "QM.FULL", "crash"}).status, 0);
  }
  ASSERT_EQ(sim({"start", "QM.FULL"}).status, 0);
  {
    Connection again("QM.FULL");
    EXPECT_EQ(Depth(again.hconn, "SYSTEM.DEFAULT.LOCAL.QUEUE"), stored);
  }
  sim({"stop", "QM.FULL"});
}

// Traffic many times the size of what the queues hold leaves a log of about that size.
TEST(MqiRecoveryLog, CheckpointsKeepTheLogBounded) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::StandinQm qm("QM.RLOG.SIZE", "DEFINE QLOCAL(Q1) MAXDEPTH(1000)\n");
  ASSERT_TRUE(qm.running());
  Connection c(qm.name());
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  const std::string data(16 * 1024, 'd');
  uint64_t largest = 0;
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 100; ++i) {
      MQMD md = Persistent();
      ASSERT_EQ(Put(c.hconn, q, md, data, MQPMO_SYNCPOINT).cc, MQCC_OK);
    }
    ASSERT_EQ(Commit(c.hconn), MQRC_NONE);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Get(c.hconn, q, MQGMO_SYNCPOINT, 0, 20000).r.cc, MQCC_OK);
    ASSERT_EQ(Commit(c.hconn), MQRC_NONE);
    largest = std::max(largest, FileSize(LogFile(qm)));
  }
  // 32 MB went through; the log checkpoints at 8 MB (or twice the last checkpoint).
  EXPECT_LT(largest, 10u << 20);
  EXPECT_GT(largest, 0u);
}
