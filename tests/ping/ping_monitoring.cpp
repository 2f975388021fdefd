// vrqmq's outputs for monitoring systems, run as a process against a stand-in queue
// manager: the JSON object against the text report of the same run, the Prometheus
// exposition on standard output and in a file, the summary lines of a repeating run, and
// the end of a run on SIGINT or SIGTERM.
#include <cmath>
#include <gtest/gtest.h>

#include <cmqc.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "standin_qm.h"
#include "vrqtest.h"

namespace {

constexpr const char* kDefinitions =
    "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n"
    "DEFINE QLOCAL(APP.SINK)\n";

class PingMonitoring : public ::testing::Test {
 protected:
  vrqtest::StandinQm qm{"MON.QM", kDefinitions};

  void SetUp() override { VRQ_SKIP_WITHOUT_STANDIN(); }

  vrqtest::ProcessResult Ping(std::vector<std::string> args, int timeout_ms = 60000) {
    args.insert(args.begin(), VRQMQ_PATH);
    return vrqtest::Run(args, qm.env(), timeout_ms);
  }
  // Runs vrqmq and sends it the signal after the given seconds.
  vrqtest::ProcessResult PingThenSignal(const char* signal, const char* seconds, std::vector<std::string> args) {
    // --foreground: timeout signals only vrqmq; otherwise it signals its whole process group
    // as well, and vrqmq would take the second delivery for a second Ctrl-C.
    args.insert(args.begin(), {"/usr/bin/timeout", "--foreground", "--preserve-status", "-s", signal, seconds,
                               VRQMQ_PATH});
    return vrqtest::Run(args, qm.env(), 60000);
  }
};

std::string Line(const std::string& out, const std::string& key) {
  std::smatch m;
  std::regex re("\t" + key + " *\\(([^)]*)\\)");
  return std::regex_search(out, m, re) ? m[1].str() : "<missing>";
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.*f", decimals, v);
  return buf;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST_F(PingMonitoring, JsonCarriesTheReportsFigures) {
  auto r = Ping({"-mMON.QM", "-b200", "-ccoa", "-w30000", "-v1", "-ojson"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Standard output holds the object alone; the report went to standard error.
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  auto j = nlohmann::json::parse(lines[0]);
  const std::string& report = r.err;
  ASSERT_NE(report.find("Statistics for queue MON.QM(SYSTEM.ADMIN.COMMAND.QUEUE)"), std::string::npos) << report;

  EXPECT_EQ(j["qmgr"], "MON.QM");
  EXPECT_EQ(j["queue"], "SYSTEM.ADMIN.COMMAND.QUEUE");
  EXPECT_EQ(j["reason_name"], "MQRC_NONE");
  struct Figure {
    const char* json;
    const char* report;
    int decimals;  // -1: a whole number
  };
  const Figure figures[] = {
      {"minimum_round_trip_seconds", "MINIMUM_ROUND_TRIP", 4},
      {"maximum_round_trip_seconds", "MAXIMUM_ROUND_TRIP", 4},
      {"average_round_trip_seconds", "AVERAGE_ROUND_TRIP", 4},
      {"average_propagation_time_seconds", "AVERAGE_PROPAGATION_TIME", 4},
      {"average_reflection_time_seconds", "AVERAGE_REFLECTION_TIME", 4},
      {"messages_sent", "MESSAGES_SENT", -1},
      {"confirmed_expiries", "CONFIRMED_EXPIRIES", -1},
      {"confirmed_deliveries", "CONFIRMED_DELIVERIES", -1},
      {"confirmed_arrivals", "CONFIRMED_ARRIVALS", -1},
      {"confirmed_exceptions", "CONFIRMED_EXCEPTIONS", -1},
      {"reports_received", "REPORTS_RECEIVED", -1},
      {"responses_received", "RESPONSES_RECEIVED", -1},
      {"messages_received", "MESSAGES_RECEIVED", -1},
      {"bytes_sent", "BYTES_SENT", -1},
      {"bytes_received", "BYTES_RECEIVED", -1},
      {"total_put_time_seconds", "TOTAL_PUT_TIME", 4},
      {"total_get_time_seconds", "TOTAL_GET_TIME", 4},
      {"effective_round_trip_rate_messages_per_second", "EFFECTIVE_ROUND_TRIP_RATE", 4},
      {"total_batch_time_seconds", "TOTAL_BATCH_TIME", 4},
      {"completion_code", "TEST_COMPLETION_CODE", -1},
      {"round_trip_p50_seconds", "ROUND_TRIP_P50", 4},
      {"round_trip_p90_seconds", "ROUND_TRIP_P90", 4},
      {"round_trip_p99_seconds", "ROUND_TRIP_P99", 4},
      {"round_trip_p99_9_seconds", "ROUND_TRIP_P99_9", 4},
      {"round_trip_max_seconds", "ROUND_TRIP_MAX", 4},
      {"round_trip_mean_seconds", "ROUND_TRIP_MEAN", 4},
      {"round_trip_stddev_seconds", "ROUND_TRIP_STDDEV", 4},
  };
  for (const auto& f : figures) {
    ASSERT_TRUE(j.contains(f.json)) << f.json;
    std::string got = f.decimals < 0 ? std::to_string(j[f.json].get<long long>()) : Fixed(j[f.json].get<double>(), f.decimals);
    std::string want = Line(report, f.report);
    EXPECT_EQ(got, want.substr(0, want.find(' '))) << f.json;
  }
  // Figures printed with a second value in brackets or a percent sign.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(AVERAGE_PUT_RATE +\((\S+) msg/sec \[(\S+) bytes/sec\]\))")));
  EXPECT_EQ(Fixed(j["average_put_rate_messages_per_second"], 4), m[1].str());
  EXPECT_EQ(Fixed(j["average_put_rate_bytes_per_second"], 2), m[2].str());
  ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(GROSS_ROUND_TRIP_RATE +\((\S+) msg/sec \[(\S+) bytes/sec\]\))")));
  EXPECT_EQ(Fixed(j["gross_round_trip_rate_messages_per_second"], 4), m[1].str());
  EXPECT_EQ(Fixed(j["gross_round_trip_rate_bytes_per_second"], 2), m[2].str());
  ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(CONFIRMATION_OVERHEAD +\((\S+)%)")));
  EXPECT_EQ(Fixed(j["confirmation_overhead_percent"], 4), m[1].str());
  ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(RESPONSE_REQUEST_RATIO +\((\S+)%)")));
  EXPECT_EQ(Fixed(j["response_request_ratio_percent"], 4), m[1].str());
  EXPECT_EQ(j["confirmed_arrivals"], 200);
  EXPECT_EQ(j["round_trip_count"], 200);
  EXPECT_NE(report.find("Round Trip Distribution (200 responses) :"), std::string::npos);

  // The percentiles are in order, at most the maximum, at least the minimum.
  double p50 = j["round_trip_p50_seconds"], p90 = j["round_trip_p90_seconds"], p99 = j["round_trip_p99_seconds"],
         p999 = j["round_trip_p99_9_seconds"], max = j["round_trip_max_seconds"];
  EXPECT_LE(j["minimum_round_trip_seconds"].get<double>(), p50 + 0.001);  // milliseconds against microseconds
  EXPECT_LE(p50, p90);
  EXPECT_LE(p90, p99);
  EXPECT_LE(p99, p999);
  EXPECT_LE(p999, max);
  // The distribution has microsecond round trips, each within the cycle.
  EXPECT_GT(max, 0.0);
  EXPECT_LE(max, j["total_batch_time_seconds"].get<double>() + 0.001);
  EXPECT_NE(std::fmod(j["round_trip_mean_seconds"].get<double>() * 1e6, 1000.0), 0.0);

  std::regex rfc3339(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  std::string start = j["start_time"], end = j["end_time"];
  EXPECT_TRUE(std::regex_match(start, rfc3339)) << start;
  EXPECT_TRUE(std::regex_match(end, rfc3339)) << end;
  EXPECT_LE(start, end);
}

TEST_F(PingMonitoring, FailedCyclesAreReportedToo) {
  auto r = Ping({"-mNO.SUCH.QM", "-b1", "-ojson"});
  EXPECT_EQ(r.status, MQRC_Q_MGR_NAME_ERROR % 256);
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  auto j = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(j["completion_code"], MQRC_Q_MGR_NAME_ERROR);
  EXPECT_EQ(j["reason_name"], "MQRC_Q_MGR_NAME_ERROR");
  EXPECT_EQ(j["messages_sent"], 0);
  EXPECT_NE(r.err.find("INIT_ERROR: Could not ping NO.SUCH.QM"), std::string::npos);
}

TEST_F(PingMonitoring, PrometheusOnStandardOutputAndInAFile) {
  auto r = Ping({"-mMON.QM", "-b50", "-w30000", "-oprometheus"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("VRQPING"), std::string::npos);
  EXPECT_NE(r.out.find("vrqmq_messages_sent_total{qmgr=\"MON.QM\",queue=\"SYSTEM.ADMIN.COMMAND.QUEUE\"} 50\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("vrqmq_completion_code{qmgr=\"MON.QM\",queue=\"SYSTEM.ADMIN.COMMAND.QUEUE\",reason=\"MQRC_NONE\"} 0\n"),
            std::string::npos);
  if (std::filesystem::exists("/usr/bin/promtool")) {
    vrqtest::TempDir dir;
    std::ofstream(dir.file("out.prom")) << r.out;
    auto check = vrqtest::Run({"/bin/sh", "-c", "/usr/bin/promtool check metrics < " + dir.file("out.prom")});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }

  // To a file: standard output keeps the report, the folder only the finished file.
  vrqtest::TempDir dir;
  std::string path = dir.file("vrqmq.prom");
  auto f = Ping({"-mMON.QM", "-b5", "-w30000", "-oprometheus:" + path});
  ASSERT_EQ(f.status, 0) << f.out;
  EXPECT_NE(f.out.find("Statistics for queue"), std::string::npos);
  std::ifstream in(path);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find("vrqmq_responses_received_total{qmgr=\"MON.QM\",queue=\"SYSTEM.ADMIN.COMMAND.QUEUE\"} 5\n"),
            std::string::npos) << content;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

  // A file that cannot be written is reported; the run's status stays the cycle's.
  auto bad = Ping({"-mMON.QM", "-b1", "-w30000", "-oprometheus:" + dir.file("no/such/folder.prom")});
  EXPECT_EQ(bad.status, 0);
  EXPECT_NE(bad.err.find("ERROR: Unable to write"), std::string::npos) << bad.err;
}

TEST_F(PingMonitoring, RepeatingRunGivesOneSummaryOrObjectPerCycle) {
  // Ended after 8 s: at least two cycles of a second each, however slowly vrqmq starts on a
  // busy machine.
  auto r = Ping({"-mMON.QM", "-b3", "-d1", "-w30000"}, 8000);
  std::regex summary(R"(MON\.QM\(SYSTEM\.ADMIN\.COMMAND\.QUEUE\): SENT\(3\) RECEIVED\(3\) P50\(\d+\.\d{4} sec\) P99\(\d+\.\d{4} sec\) MAX\(\d+\.\d{4} sec\) RC\(0\)\n)");
  auto summaries = std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), summary), std::sregex_iterator());
  std::regex completed("completed with RC\\(0\\)");
  auto cycles = std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), completed), std::sregex_iterator());
  EXPECT_GE(summaries, 2) << r.out;
  EXPECT_EQ(summaries, cycles);
  EXPECT_EQ(r.out.find("Statistics for queue"), std::string::npos);

  // With -ojson: one object per line and no summary line.
  auto j = PingThenSignal("INT", "8", {"-mMON.QM", "-b3", "-d1", "-w30000", "-ojson"});
  EXPECT_EQ(j.status, 0) << j.err;
  auto lines = Lines(j.out);
  EXPECT_GE(lines.size(), 2u) << j.out;
  for (const auto& line : lines) EXPECT_EQ(nlohmann::json::parse(line)["messages_sent"], 3);
  EXPECT_EQ(j.err.find("SENT("), std::string::npos);
}

TEST_F(PingMonitoring, StopSignalsEndTheRunWithTheFiguresSoFar) {
  // The command server does not answer: the collection would wait a minute; SIGTERM ends
  // it at once, the report shows what was gathered, and no cycle ended: 128 + 15. The
  // signals come after 5 s, time enough for the four puts on a busy machine.
  ASSERT_TRUE(qm.Fault({"cmdserver", "stop"}));
  auto t = PingThenSignal("TERM", "5", {"-mMON.QM", "-b4", "-w60000"});
  EXPECT_EQ(t.status, 143) << t.out;
  EXPECT_EQ(Line(t.out, "MESSAGES_SENT"), "4");
  EXPECT_EQ(Line(t.out, "MESSAGES_RECEIVED"), "0");
  EXPECT_LT(std::stod(Line(t.out, "TOTAL_BATCH_TIME")), 40.0);  // not the minute's wait

  auto i = PingThenSignal("INT", "5", {"-mMON.QM", "-b4", "-w60000", "-ojson"});
  EXPECT_EQ(i.status, 130) << i.err;
  auto lines = Lines(i.out);
  ASSERT_EQ(lines.size(), 1u) << i.out;
  EXPECT_EQ(nlohmann::json::parse(lines[0])["messages_sent"], 4);

  // A signal after a cycle ended: that cycle's reason.
  ASSERT_TRUE(qm.Fault({"cmdserver", "start"}));
  auto after = PingThenSignal("INT", "8", {"-mMON.QM", "-b2", "-d30", "-w30000"});
  EXPECT_EQ(after.status, 0) << after.out;
  EXPECT_NE(after.out.find("completed with RC(0)"), std::string::npos);
}

}  // namespace
