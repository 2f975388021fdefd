// vrqmq run as a process against a stand-in queue manager: what an administrator sees for
// a plain batch, padding, confirmations, expiry, report options, alternate users, verbose
// lines, a missing command server, an unknown queue manager and a repeating run.
#include <gtest/gtest.h>

#include <cmqc.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "standin_qm.h"
#include "vrqtest.h"

namespace {

constexpr const char* kDefinitions =
    "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n"
    "DEFINE QLOCAL(APP.SINK)\n";

class PingRun : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{"PING.QM", kDefinitions};

  void SetUp() override { VRQ_SKIP_WITHOUT_STANDIN(); }

  vrqtest::ProcessResult Ping(std::vector<std::string> args, int timeout_ms = 60000) {
    args.insert(args.begin(), VRQMQ_PATH);
    return vrqtest::Run(args, qm.env(), timeout_ms);
  }

  // The first message on a queue, browsed, with its descriptor.
  bool Browse(const char* queue, MQMD* md, std::string* data) {
    MQHCONN hconn = 0;
    MQLONG cc = 0, rc = 0;
    char name[MQ_Q_MGR_NAME_LENGTH] = {};
    std::strncpy(name, qm.name().c_str(), sizeof name);
    MQCONN(name, &hconn, &cc, &rc);
    if (cc == MQCC_FAILED) return false;
    MQOD od = {MQOD_DEFAULT};
    std::strncpy(od.ObjectName, queue, MQ_Q_NAME_LENGTH);
    MQHOBJ hobj = 0;
    MQOPEN(hconn, &od, MQOO_BROWSE, &hobj, &cc, &rc);
    bool ok = cc != MQCC_FAILED;
    if (ok) {
      MQMD desc = {MQMD_DEFAULT};
      MQGMO gmo = {MQGMO_DEFAULT};
      gmo.Options = MQGMO_BROWSE_FIRST | MQGMO_NO_WAIT;
      char buf[4096];
      MQLONG len = 0;
      MQGET(hconn, hobj, &desc, &gmo, sizeof buf, buf, &len, &cc, &rc);
      ok = cc == MQCC_OK;
      *md = desc;
      data->assign(buf, ok ? static_cast<size_t>(len) : 0);
      MQCLOSE(hconn, &hobj, MQCO_NONE, &cc, &rc);
    }
    MQDISC(&hconn, &cc, &rc);
    return ok;
  }
};

// The depth of a queue manager's command queue, from a connection of the calling thread;
// -1 when it cannot be had.
MQLONG CommandQueueDepth(const char* qmName) {
  MQHCONN hconn = 0;
  MQLONG cc = 0, rc = 0;
  char name[MQ_Q_MGR_NAME_LENGTH] = {};
  std::strncpy(name, qmName, sizeof name);
  MQCONN(name, &hconn, &cc, &rc);
  if (cc == MQCC_FAILED) return -1;
  MQOD od = {MQOD_DEFAULT};
  std::strncpy(od.ObjectName, "SYSTEM.ADMIN.COMMAND.QUEUE", MQ_Q_NAME_LENGTH);
  MQHOBJ hobj = 0;
  MQLONG depth = -1;
  MQOPEN(hconn, &od, MQOO_INQUIRE, &hobj, &cc, &rc);
  if (cc != MQCC_FAILED) {
    MQLONG selector = MQIA_CURRENT_Q_DEPTH;
    MQINQ(hconn, hobj, 1, &selector, 1, &depth, 0, nullptr, &cc, &rc);
    if (cc == MQCC_FAILED) depth = -1;
    MQCLOSE(hconn, &hobj, MQCO_NONE, &cc, &rc);
  }
  MQDISC(&hconn, &cc, &rc);
  return depth;
}

std::string Line(const std::string& out, const std::string& key) {
  std::smatch m;
  std::regex re("\t" + key + " *\\(([^)]*)\\)");
  return std::regex_search(out, m, re) ? m[1].str() : "<missing>";
}

// Timings vary from run to run; everything else of the report is fixed.
std::string MaskTimings(const std::string& text) { return vrqtest::Mask(text, R"(-?\d+\.\d+)", "#"); }

TEST_F(PingRun, PlainBatchIsAnsweredInFull) {
  ASSERT_TRUE(qm.running());
  auto r = Ping({"-mPING.QM", "-b5", "-w30000"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(MaskTimings(r.out), vrqtest::DataFile("ping/plain_batch.txt"));
  for (const char* key : {"MINIMUM_ROUND_TRIP", "MAXIMUM_ROUND_TRIP", "AVERAGE_ROUND_TRIP",
                          "AVERAGE_PROPAGATION_TIME", "AVERAGE_REFLECTION_TIME"})
    EXPECT_GE(std::stod(Line(r.out, key)), 0.0) << key;
  EXPECT_LE(std::stod(Line(r.out, "MINIMUM_ROUND_TRIP")), std::stod(Line(r.out, "MAXIMUM_ROUND_TRIP")));
}

TEST_F(PingRun, PaddingReachesTheRequestedSize) {
  // Not above the bare header: the 36-byte ping.
  auto small = Ping({"-mPING.QM", "-b2", "-s20", "-w30000"});
  EXPECT_NE(small.out.find("using 36 byte 2(msgs) batch"), std::string::npos) << small.out;
  EXPECT_EQ(Line(small.out, "BYTES_SENT"), "72");

  // Above it: an escape-text parameter of size - 36 characters (rounded to a whole
  // structure); the command server refuses a ping that carries a parameter, and its error
  // response is still a response.
  auto big = Ping({"-mPING.QM", "-b2", "-s200", "-w30000"});
  EXPECT_EQ(big.status, 0) << big.out;
  EXPECT_NE(big.out.find("using 220 byte 2(msgs) batch"), std::string::npos) << big.out;
  EXPECT_EQ(Line(big.out, "BYTES_SENT"), "440");
  EXPECT_EQ(Line(big.out, "RESPONSES_RECEIVED"), "2");
  EXPECT_GT(std::stoi(Line(big.out, "BYTES_RECEIVED")), 2 * 36);
}

TEST_F(PingRun, ConfirmationsOfArrivalAndDelivery) {
  auto r = Ping({"-mPING.QM", "-b4", "-ccoa", "-ccod", "-v1", "-w30000"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Line(r.out, "CONFIRMED_ARRIVALS"), "4");
  EXPECT_EQ(Line(r.out, "CONFIRMED_DELIVERIES"), "4");
  EXPECT_EQ(Line(r.out, "REPORTS_RECEIVED"), "8");
  EXPECT_EQ(Line(r.out, "RESPONSES_RECEIVED"), "4");
  EXPECT_EQ(Line(r.out, "MESSAGES_RECEIVED"), "12");
  // Verbose 1 shows the reports, not the responses.
  EXPECT_NE(r.out.find("\tMQFB_COA:\tMSGID(1)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tMQFB_COD:\tMSGID(4)"), std::string::npos);
  EXPECT_EQ(r.out.find("RESPONSE:"), std::string::npos);
}

TEST_F(PingRun, ExpiryReportsCountAsReplies) {
  // Nobody reads APP.SINK: every ping expires after 0.2 s and its report answers it, so the
  // cycle ends without waiting; but with no response at all nothing was proven.
  auto r = Ping({"-mPING.QM", "-qAPP.SINK", "-b3", "-e2", "-cexp", "-w30000"});
  EXPECT_EQ(r.status, MQRC_NO_MSG_AVAILABLE % 256) << r.out;
  EXPECT_EQ(Line(r.out, "CONFIRMED_EXPIRIES"), "3");
  EXPECT_EQ(Line(r.out, "RESPONSES_RECEIVED"), "0");
  EXPECT_NE(r.out.find("\nWARNING: No response received from PING.QM(APP.SINK): RC(2033)\n"),
            std::string::npos) << r.out;
  EXPECT_EQ(Line(r.out, "TEST_COMPLETION_CODE"), "2033");
  EXPECT_NE(r.out.find("completed with RC(2033)"), std::string::npos);
}

TEST_F(PingRun, AllPingsExpiringWithoutACommandServerIsAFailure) {
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  auto r = Ping({"-mPING.QM", "-b2", "-e1", "-cexp", "-w30000"});
  EXPECT_EQ(r.status, MQRC_NO_MSG_AVAILABLE % 256) << r.out;
  EXPECT_EQ(Line(r.out, "CONFIRMED_EXPIRIES"), "2");
  EXPECT_EQ(Line(r.out, "RESPONSES_RECEIVED"), "0");
}

// A put that fails part-way through the batch decides the cycle's reason, even when every
// ping that did go out is answered and confirmed afterwards.
TEST_F(PingRun, AFailedPutIsNotHiddenByTheReadsThatFollow) {
  vrqtest::StandinQm small{"PING.SMALL", std::string(kDefinitions) +
                               "DEFINE QLOCAL(SYSTEM.ADMIN.COMMAND.QUEUE) MAXDEPTH(3) REPLACE\n"};
  ASSERT_TRUE(small.running());
  ASSERT_TRUE(small.Fault({"cmdserver", "stop"}));
  // The command server comes back once the batch has stopped at the full queue (three
  // pings on it, and a moment for the fourth put, which follows the third at once, to
  // fail: three seconds, for a busy machine); then the three pings put are answered and
  // confirmed.
  std::thread restart([&] {
    for (int i = 0; i < 1200 && CommandQueueDepth("PING.SMALL") < 3; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    small.Fault({"cmdserver", "start"});
  });
  auto r = vrqtest::Run({VRQMQ_PATH, "-mPING.SMALL", "-b5", "-ccoa", "-ccod", "-w10000"}, small.env(), 60000);
  restart.join();
  EXPECT_NE(r.out.find("ERROR: Unable to complete ping PING.SMALL(SYSTEM.ADMIN.COMMAND.QUEUE): RC(2053)"),
            std::string::npos) << r.out;
  EXPECT_EQ(Line(r.out, "MESSAGES_SENT"), "3");
  EXPECT_EQ(Line(r.out, "RESPONSES_RECEIVED"), "3");
  EXPECT_EQ(Line(r.out, "CONFIRMED_DELIVERIES"), "3");
  EXPECT_EQ(Line(r.out, "TEST_COMPLETION_CODE"), "2053");
  EXPECT_NE(r.out.find("completed with RC(2053)"), std::string::npos);
  EXPECT_EQ(r.status, MQRC_Q_FULL % 256);
}

TEST_F(PingRun, ReportOptionsAndAlternateUserReachTheQueue) {
  auto r = Ping({"-mPING.QM", "-qAPP.SINK", "-b1", "-cexc", "-cdlq", "-uPINGUSER", "-w200"});
  EXPECT_EQ(r.status, MQRC_NO_MSG_AVAILABLE % 256) << r.out;
  EXPECT_NE(r.out.find("WARNING: Timeout occured on PING.QM(APP.SINK): RC(2033)"), std::string::npos);
  MQMD md;
  std::string data;
  ASSERT_TRUE(Browse("APP.SINK", &md, &data));
  EXPECT_EQ(md.Report, MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID | MQRO_EXCEPTION);
  std::string user(md.UserIdentifier, 12);
  user.erase(user.find_last_not_of(std::string(" \0", 2)) + 1);
  EXPECT_EQ(user, "PINGUSER");
  EXPECT_EQ(std::string(md.Format, 8), "MQADMIN ");
  EXPECT_EQ(md.MsgType, MQMT_REQUEST);
  int32_t sequence = 0;
  std::memcpy(&sequence, md.MsgId, sizeof sequence);
  EXPECT_EQ(sequence, 1);
  EXPECT_EQ(data.size(), 36u);
}

TEST_F(PingRun, WithoutDeadLetteringThePingsAskToBeDiscarded) {
  Ping({"-mPING.QM", "-qAPP.SINK", "-b1", "-w100"});
  MQMD md;
  std::string data;
  ASSERT_TRUE(Browse("APP.SINK", &md, &data));
  EXPECT_EQ(md.Report, MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID | MQRO_DISCARD_MSG);
}

TEST_F(PingRun, VerboseTwoShowsEveryMessage) {
  auto r = Ping({"-mPING.QM", "-b2", "-v2", "-w30000"});
  EXPECT_EQ(r.status, 0);
  std::regex line(R"(\n\(\d+\) - Date: [^\n]+\n\tRESPONSE:\tMSGID\((\d)\) RND_TRP_MS\(\d+\.\d\d\) RND_TRP_ON_Q_MS\(\d+\.\d\d\) MSG_AGE_MS\(-?\d+\.\d\d\) PUT_APPL_NAME\([^)]{28}\) \n\t\t\tPUT_DATE\(\d{8}\) PUT_TIME\(\d{8}\)\n)");
  auto lines = std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), line), std::sregex_iterator());
  EXPECT_EQ(lines, 2) << r.out;
}

TEST_F(PingRun, StoppedCommandServerTimesOut) {
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  auto r = Ping({"-mPING.QM", "-b2", "-w300"});
  EXPECT_EQ(r.status, MQRC_NO_MSG_AVAILABLE % 256);
  EXPECT_NE(r.out.find("\nWARNING: Timeout occured on PING.QM(SYSTEM.ADMIN.COMMAND.QUEUE): RC(2033)\n"),
            std::string::npos) << r.out;
  EXPECT_EQ(Line(r.out, "MESSAGES_SENT"), "2");
  EXPECT_EQ(Line(r.out, "MESSAGES_RECEIVED"), "0");
  EXPECT_EQ(Line(r.out, "TEST_COMPLETION_CODE"), "2033");
  EXPECT_NE(r.out.find("completed with RC(2033)"), std::string::npos);
}

TEST_F(PingRun, UnknownQueueManagerFailsTheInit) {
  auto r = Ping({"-mNO.SUCH.QM", "-b1"});
  EXPECT_EQ(r.status, MQRC_Q_MGR_NAME_ERROR % 256) << r.out;
  EXPECT_NE(r.out.find("INIT_ERROR: Could not ping NO.SUCH.QM(SYSTEM.ADMIN.COMMAND.QUEUE): RC(2058)"),
            std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("completed with RC"), std::string::npos);

  qm.Stop();
  auto stopped = Ping({"-mPING.QM", "-b1"});
  EXPECT_EQ(stopped.status, MQRC_Q_MGR_NOT_AVAILABLE % 256) << stopped.out;
}

TEST_F(PingRun, RepeatingRunPrintsNoReport) {
  // Killed after 8 s: cycles one second apart (two at least, however slowly vrqmq starts on a
  // busy machine, and never more than one a second), each completed, none with a report.
  auto r = Ping({"-mPING.QM", "-b1", "-d1", "-w30000"}, 8000);
  EXPECT_EQ(r.status, -1);
  size_t cycles = 0;
  for (size_t at = 0; (at = r.out.find("completed with RC(0)", at)) != std::string::npos; ++at) ++cycles;
  EXPECT_GE(cycles, 2u) << r.out;
  EXPECT_LE(cycles, 9u);
  EXPECT_EQ(r.out.find("Statistics for queue"), std::string::npos);
}

TEST_F(PingRun, InvalidCommandLineExitsWithUsage) {
  // With a queue manager named, so that only the number is wrong.
  for (const char* bad : {"-bx", "-b0", "-b-5", "-w-5"}) {
    auto r = Ping({"-mPING.QM", bad});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_NE(r.out.find("Usage: "), std::string::npos) << bad;
    EXPECT_EQ(r.out.find("Pinging"), std::string::npos) << bad;
  }
}

}  // namespace
