// ping_get_stats' arithmetic, figure by figure. The replies and reports are put to the
// cycle's own reply queue beforehand with set-all-context stamps, so every put time the
// figures are made of is known; only the moment each one is read is the clock's, and it
// lies between the instants taken around the call.
#include <gtest/gtest.h>

#include <cmqc.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "standin_qm.h"
#include "vrqping.h"
#include "vrqtest.h"

namespace {

constexpr const char* kQm = "STATS.QM";

struct Stamp {
  char date[9];
  char time[9];
};

// The put stamp ("YYYYMMDD", "HHMMSSTH") of a UTC second.
Stamp StampOf(time_t seconds) {
  std::tm t{};
  gmtime_r(&seconds, &t);
  Stamp s{};
  std::strftime(s.date, sizeof s.date, "%Y%m%d", &t);
  std::strftime(s.time, sizeof s.time, "%H%M%S00", &t);
  return s;
}

struct Reply {
  MQLONG type;      // MQMT_REPLY or MQMT_REPORT
  MQLONG feedback;  // for reports
  int32_t sequence;
  int64_t sendTime;
  Stamp put;
  size_t length;
};

class PingStatsArithmetic : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{kQm, "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n"};
  MQHCONN hconn = MQHC_UNUSABLE_HCONN;
  PingArgs args{};

  void SetUp() override {
    VRQ_SKIP_WITHOUT_STANDIN();
    ASSERT_TRUE(qm.running());
    MQLONG cc = 0, rc = 0;
    char name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
    std::strncpy(name, kQm, MQ_Q_MGR_NAME_LENGTH);
    MQCONN(name, &hconn, &cc, &rc);
    ASSERT_EQ(cc, MQCC_OK) << rc;
    SetPingDefaults(&args);
    std::strcpy(args.szQMgrName, kQm);
    args.lWait = 0;  // the cycle ends when the queue is drained (2033)
    int reason = -1;
    ASSERT_EQ(ping_init(&args, &reason), 1) << reason;
  }
  void TearDown() override {
    ping_terminate(&args);
    MQLONG cc = 0, rc = 0;
    if (hconn != MQHC_UNUSABLE_HCONN) MQDISC(&hconn, &cc, &rc);
  }

  // Puts one reply to the cycle's reply queue with the given context.
  void Put(const Reply& r) {
    MQOD od = {MQOD_DEFAULT};
    std::strncpy(od.ObjectName, args.pQMgr->pReplyCmdQ->szName, MQ_Q_NAME_LENGTH);
    MQMD md = {MQMD_DEFAULT};
    md.MsgType = r.type;
    md.Feedback = r.feedback;
    std::memcpy(md.MsgId, &r.sequence, sizeof r.sequence);
    std::memcpy(md.CorrelId, &r.sendTime, sizeof r.sendTime);
    std::memcpy(md.PutDate, r.put.date, 8);
    std::memcpy(md.PutTime, r.put.time, 8);
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = MQPMO_NO_SYNCPOINT | MQPMO_SET_ALL_CONTEXT;
    const std::string data(r.length, 'd');
    MQLONG cc = 0, rc = 0;
    MQPUT1(hconn, &od, &md, &pmo, static_cast<MQLONG>(data.size()), const_cast<char*>(data.data()), &cc, &rc);
    ASSERT_EQ(cc, MQCC_OK) << rc;
  }
};

TEST_F(PingStatsArithmetic, EveryFigureFromKnownStamps) {
  const time_t now = std::time(nullptr);
  // Two responses: the first put by the command server 3 s after its ping was sent; the
  // second stamped half a second before its send time, so its time to response is 0.
  const Stamp p1 = StampOf(now - 7), p2 = StampOf(now - 20);
  const int64_t send1 = cnv_millts(p1.date, p1.time) - 3000;
  const int64_t send2 = cnv_millts(p2.date, p2.time) + 500;
  auto report = [](MQLONG feedback, int32_t sequence, const char* time) {
    Reply r{MQMT_REPORT, feedback, sequence, 0, {}, 10};
    std::memcpy(r.put.date, "20260101", 9);
    std::memcpy(r.put.time, time, 9);
    return r;
  };
  Put({MQMT_REPLY, MQFB_NONE, 1, send1, p1, 36});
  Put({MQMT_REPLY, MQFB_NONE, 2, send2, p2, 40});
  Put(report(MQFB_COA, 1, "12000000"));
  Put(report(MQFB_COA, 2, "12000150"));  // arrivals 1.5 s apart
  Put(report(MQFB_COD, 1, "13000000"));
  Put(report(MQFB_EXPIRATION, 3, "13000050"));  // expiries share the deliveries' intervals
  Put(report(MQFB_COD, 2, "13000200"));
  Put(report(MQFB_PAN, 1, "14000000"));  // any other report

  PingStats s{};
  s.lMsgsSent = 3;
  s.llPutTime = 500;
  // Confirmations still awaited keep the cycle reading until the queue is drained.
  args.bRptCOA = args.bRptCOD = 1;
  int reason = -1;
  const int64_t t0 = curUtcTimeMsec();
  EXPECT_EQ(ping_get_stats(&args, &s, &reason), 0);
  const int64_t t1 = curUtcTimeMsec();
  EXPECT_EQ(reason, MQRC_NO_MSG_AVAILABLE);  // drained

  EXPECT_EQ(s.lMsgsReceived, 8);
  EXPECT_EQ(s.lReportsReceived, 6);
  EXPECT_EQ(s.lConfirmedArrivals, 2);
  EXPECT_EQ(s.lConfirmedDeliveries, 2);
  EXPECT_EQ(s.lConfirmedExpiries, 1);
  EXPECT_EQ(s.lOtherReports, 1);
  EXPECT_EQ(s.lBytesReceived, 36 + 40 + 6 * 10);
  EXPECT_GE(s.llGetTime, 0);
  EXPECT_LE(s.llGetTime, t1 - t0);

  // Round trip: receive time - send time, less the batch's put time (it is shorter).
  const int64_t slack = t1 - t0;
  EXPECT_GE(s.llMinRoundTrip, t0 - send1 - 500);
  EXPECT_LE(s.llMinRoundTrip, t0 - send1 - 500 + slack);
  EXPECT_GE(s.llMaxRoundTrip, t0 - send2 - 500);
  EXPECT_LE(s.llMaxRoundTrip, t0 - send2 - 500 + slack);
  // Averages are over every message received, reports included: sums divided by 8.
  const double trips = static_cast<double>(s.llMinRoundTrip + s.llMaxRoundTrip);
  EXPECT_DOUBLE_EQ(s.dAvgRoundTrip, trips / 8);
  EXPECT_DOUBLE_EQ(s.dAvgTimeToResponse, (3000.0 + 0.0) / 8);
  // Reply age: the round trip before the put-time correction, less the time to response.
  const double ages = (trips + 2 * 500) - 3000 - 0;
  EXPECT_DOUBLE_EQ(s.dAvgReplyAge, ages / 8);
  // Rates: confirmations per second of the summed intervals between their put times.
  EXPECT_DOUBLE_EQ(s.dArrivalRate, 2.0 / 1500 * 1000);
  EXPECT_DOUBLE_EQ(s.dDeliveryRate, 2.0 / 2000 * 1000);
}

// A batch that took longer to put than a response's round trip leaves that round trip
// uncorrected; a single response is both minimum and maximum.
TEST_F(PingStatsArithmetic, PutTimeLongerThanTheRoundTripIsNotSubtracted) {
  const time_t now = std::time(nullptr);
  const Stamp p = StampOf(now - 2);
  const int64_t send = cnv_millts(p.date, p.time);
  Put({MQMT_REPLY, MQFB_NONE, 1, send, p, 36});
  PingStats s{};
  s.lMsgsSent = 1;
  s.llPutTime = 3600 * 1000;
  int reason = -1;
  const int64_t t0 = curUtcTimeMsec();
  EXPECT_EQ(ping_get_stats(&args, &s, &reason), 1);  // every ping answered
  const int64_t t1 = curUtcTimeMsec();
  EXPECT_EQ(reason, 0);
  EXPECT_GE(s.llMinRoundTrip, t0 - send);
  EXPECT_LE(s.llMinRoundTrip, t1 - send);
  EXPECT_EQ(s.llMaxRoundTrip, s.llMinRoundTrip);
  EXPECT_DOUBLE_EQ(s.dAvgRoundTrip, static_cast<double>(s.llMinRoundTrip));
  EXPECT_DOUBLE_EQ(s.dAvgTimeToResponse, 0.0);
  EXPECT_DOUBLE_EQ(s.dAvgReplyAge, static_cast<double>(s.llMinRoundTrip));
  EXPECT_EQ(s.dArrivalRate, 0.0);
  EXPECT_EQ(s.dDeliveryRate, 0.0);
}

}  // namespace
