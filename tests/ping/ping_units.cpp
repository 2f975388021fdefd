// The ping utility without a queue manager: the put-stamp conversions against the clock,
// the derived indicators at their edges, and the command-line rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "vrqping.h"
#include "vrqtest.h"

namespace {

struct Parsed {
  int valid;
  PingArgs args;
  std::string usage;
};

Parsed Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "vrqmq");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  Parsed p{0, PingArgs{}, {}};
  SetPingDefaults(&p.args);
  p.valid = ParsePingArgs(&p.args, static_cast<int>(argv.size()), argv.data(), &p.usage);
  return p;
}

TEST(PingTime, PutStampsLandOnTheClock) {
  EXPECT_EQ(cnv_milltm("12345678"), 12 * 3600000LL + 34 * 60000LL + 56 * 1000LL + 780);
  EXPECT_EQ(cnv_milltm("00000001"), 10);

  // A put stamp taken now (UTC, as the queue manager writes it) converts to the clock.
  int64_t before = curUtcTimeMsec();
  time_t now = time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char date[9], tod[9];
  std::strftime(date, sizeof date, "%Y%m%d", &tm);
  std::strftime(tod, sizeof tod, "%H%M%S", &tm);
  std::string time8 = std::string(tod) + "00";
  int64_t stamp = cnv_millts(date, time8.c_str());
  EXPECT_LE(std::llabs(stamp - before), 2000);
}

// The calendar arithmetic behind the stamps, against the C library's own broken-down
// UTC times, and the cached local shift against mktime on the same fields.
TEST(PingTime, UtcFieldsAndTheLocalShift) {
  // 1970-01-02, leap days of 2000 and 2024, 2038-01-19 and 2100-01-01 (what Windows'
  // conversions also take).
  const int64_t times[] = {86400, 951782400, 951868799, 1709164800, 1700000000, 2147483647, 4102444800};
  for (int64_t t : times) {
    std::tm tm{};
    ASSERT_TRUE(UtcFields(t, &tm)) << t;
    EXPECT_EQ(UtcSeconds(tm), t) << t;
    std::tm local = tm;
    local.tm_isdst = -1;
    EXPECT_EQ(LocalOffsetSeconds(t), static_cast<int64_t>(std::mktime(&local)) - t) << t;
  }
  std::tm carried{};
  carried.tm_year = 2023 - 1900;
  carried.tm_mon = 13;  // February of the year after
  carried.tm_mday = 29;
  EXPECT_EQ(UtcSeconds(carried), 1709164800);  // 2024-02-29
}

TEST(PingIndicators, NothingReceivedDividesByNothing) {
  PingStats s{};
  PingIndicators d = ping_indicators(s);
  EXPECT_EQ(d.dResponseRequestRatio, 0.0);
  EXPECT_EQ(d.dGrossRate, 0.0);
  EXPECT_EQ(d.dPutGetRatio, 0.0);
  EXPECT_EQ(d.dAvgLatency, 0.0);
  EXPECT_EQ(d.dMaxLatency, 0.0);
  EXPECT_FALSE(std::isnan(d.dOverheadPercent));
  EXPECT_EQ(d.dOverheadPercent, 0.0);
}

TEST(PingIndicators, ZeroDurationsCountAsOneMillisecond) {
  PingStats s{};
  s.lMsgsSent = 10;
  s.lMsgsReceived = 12;
  s.lReportsReceived = 2;
  s.lBytesSent = 360;
  s.lBytesReceived = 360;
  PingIndicators d = ping_indicators(s);
  EXPECT_DOUBLE_EQ(d.dPutRate, 10000.0);
  EXPECT_DOUBLE_EQ(d.dGetRate, 12000.0);
  EXPECT_DOUBLE_EQ(d.dGrossRate, 22000.0);
  EXPECT_DOUBLE_EQ(d.dEffectiveRate, 20000.0);
  EXPECT_DOUBLE_EQ(d.dResponseRequestRatio, 100.0);
  EXPECT_NEAR(d.dOverheadRatio, 1.0 - 20.0 / 22.0, 1e-12);
}

TEST(PingIndicators, LatenciesNeedADeliveryRate) {
  PingStats s{};
  s.lMsgsSent = 4;
  s.lMsgsReceived = 12;
  s.lReportsReceived = 8;
  s.llPutTime = 10;
  s.llGetTime = 30;
  s.dArrivalRate = 200.0;
  EXPECT_EQ(ping_indicators(s).dAvgLatency, 0.0);
  s.dDeliveryRate = 100.0;
  PingIndicators d = ping_indicators(s);
  EXPECT_DOUBLE_EQ(d.dAvgLatency, 2.0);
  EXPECT_DOUBLE_EQ(d.dMaxLatency, 4 / 100.0);
}

TEST(PingArgsParse, OptionsAndDefaults) {
  Parsed p = Parse({"-mQM1", "-qAPP.Q", "-e50", "-w250", "-b3", "-s100", "-v2", "-d7",
                    "-hcollector", "-p7001", "-ccoa", "-ccod", "-cexp", "-cexc", "-cdlq",
                    "-uAVERYLONGUSERNAME"});
  ASSERT_EQ(p.valid, 1) << p.usage;
  EXPECT_STREQ(p.args.szQMgrName, "QM1");
  EXPECT_STREQ(p.args.szQueueName, "APP.Q");
  EXPECT_EQ(p.args.lExpiry, 50);
  EXPECT_EQ(p.args.lWait, 250);
  EXPECT_EQ(p.args.lBatch, 3);
  EXPECT_EQ(p.args.lSize, 100);
  EXPECT_EQ(p.args.lVerbose, 2);
  EXPECT_EQ(p.args.lInterval, 7);
  EXPECT_STREQ(p.args.szHost, "collector");
  EXPECT_STREQ(p.args.szPort, "7001");
  EXPECT_TRUE(p.args.bRptCOA && p.args.bRptCOD && p.args.bRptExpiry && p.args.bRptException &&
              p.args.bDeadLetter);
  EXPECT_STREQ(p.args.szAltUser, "AVERYLONGUSE");  // cut to 12 characters

  Parsed d = Parse({"-mQM1"});
  ASSERT_EQ(d.valid, 1);
  EXPECT_STREQ(d.args.szQueueName, "SYSTEM.ADMIN.COMMAND.QUEUE");
  EXPECT_STREQ(d.args.szPort, "6000");
  EXPECT_EQ(d.args.lExpiry, -1);
  EXPECT_EQ(d.args.lWait, 60000);
  EXPECT_EQ(d.args.lBatch, 10);

  // The edges of each range are accepted.
  Parsed edges = Parse({"-mQM1", "-e-1", "-w-1", "-b1", "-s0", "-v0", "-d0"});
  ASSERT_EQ(edges.valid, 1) << edges.usage;
  EXPECT_EQ(edges.args.lExpiry, -1);
  EXPECT_EQ(edges.args.lWait, -1);
  EXPECT_EQ(Parse({"-mQM1", "-w0"}).args.lWait, 0);
  EXPECT_EQ(Parse({"-mQM1", "-b2147483647"}).valid, 1);
}

// A number that is not one, or is out of its option's range, would otherwise run a cycle
// that proves nothing (a batch of 0) or one that asks the queue manager for nonsense.
TEST(PingArgsParse, NumbersMustBeWholeAndInRange) {
  const std::string usage = vrqtest::DataFile("ping/usage.txt");
  for (const char* bad : {"-b0", "-b-5", "-bxyz", "-b12abc", "-b2147483648", "-b99999999999",
                          "-w-5", "-w-2", "-e0", "-e-2", "-s-1", "-s104857601", "-v3", "-v-1",
                          "-d-1", "-d1.5", "-w 5"}) {
    Parsed p = Parse({"-mQM1", bad});
    EXPECT_EQ(p.valid, 0) << bad;
    EXPECT_EQ(p.usage, usage) << bad;  // the usage alone, like an empty value
  }
}

TEST(PingArgsParse, InvalidLinesGiveTheUsage) {
  const std::string usage = vrqtest::DataFile("ping/usage.txt");
  // The name in the next argument is not taken: -m is empty and "QM1" is reported by its
  // first two characters.
  Parsed sep = Parse({"-m", "QM1"});
  EXPECT_EQ(sep.valid, 0);
  EXPECT_EQ(sep.usage, "Invalid argument: QM\n" + usage);

  EXPECT_EQ(Parse({}).usage, usage);
  EXPECT_EQ(Parse({"-mA", "-mB"}).usage, usage);
  EXPECT_EQ(Parse({"-mQM1", "-cfoo"}).usage, usage);  // no invalid-argument line
  EXPECT_EQ(Parse({"-mQM1", "-c"}).usage, usage);
  EXPECT_EQ(Parse({"-mQM1", "-x1"}).usage, "Invalid argument: -x\n" + usage);
  EXPECT_EQ(Parse({"-mQM1", "-b"}).valid, 0);

  // Names that do not fit their fields are refused, never cut or overrun.
  EXPECT_EQ(Parse({"-m" + std::string(48, 'Q')}).valid, 1);
  EXPECT_EQ(Parse({"-m" + std::string(49, 'Q')}).valid, 0);
  EXPECT_EQ(Parse({"-mQM1", "-q" + std::string(49, 'Q')}).valid, 0);
  EXPECT_EQ(Parse({"-mQM1", "-h" + std::string(128, 'h')}).valid, 0);
  EXPECT_EQ(Parse({"-mQM1", "-p" + std::string(32, '1')}).valid, 0);
}

}  // namespace
