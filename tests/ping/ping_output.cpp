// The monitoring outputs without a queue manager: the -o option's rules, the times, the
// escaping of names in JSON and Prometheus, the counters over several cycles, and the
// atomic replacement of the Prometheus file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ping_monitor.h"
#include "vrqping.h"
#include "vrqtest.h"

namespace {

struct Parsed {
  int valid;
  PingArgs args;
};

Parsed Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "vrqmq");
  words.insert(words.begin() + 1, "-mQM1");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  Parsed p{0, PingArgs{}};
  SetPingDefaults(&p.args);
  std::string usage;
  p.valid = ParsePingArgs(&p.args, static_cast<int>(argv.size()), argv.data(), &usage);
  return p;
}

TEST(PingOutputOption, FormatsAndTheirTargets) {
  auto json = Parse({"-ojson"});
  EXPECT_EQ(json.valid, 1);
  EXPECT_EQ(json.args.lOutputs, kOutputJson);

  auto prom = Parse({"-oprometheus"});
  EXPECT_EQ(prom.valid, 1);
  EXPECT_EQ(prom.args.lOutputs, kOutputPrometheus);
  EXPECT_STREQ(prom.args.szPromFile, "");

  // JSON on standard output and Prometheus to a file go together.
  auto both = Parse({"-ojson", "-oprometheus:/var/lib/node/vrqmq.prom"});
  EXPECT_EQ(both.valid, 1);
  EXPECT_EQ(both.args.lOutputs, kOutputJson | kOutputPrometheus);
  EXPECT_STREQ(both.args.szPromFile, "/var/lib/node/vrqmq.prom");

  for (std::vector<std::string> bad : {std::vector<std::string>{"-o"},
                                       {"-oxml"},
                                       {"-oJSON"},
                                       {"-ojsonx"},
                                       {"-oprometheus:"},
                                       {"-oprometheusx"},
                                       {"-ojson", "-ojson"},
                                       {"-oprometheus:/a", "-oprometheus:/b"},
                                       {"-ojson", "-oprometheus"},
                                       {"-oprometheus:" + std::string(1024, 'f')}})
    EXPECT_EQ(Parse(bad).valid, 0) << bad.back().substr(0, 40);
  // The longest name that fits.
  EXPECT_EQ(Parse({"-oprometheus:" + std::string(1023, 'f')}).valid, 1);
}

TEST(PingOutputTimes, Rfc3339InUtc) {
  EXPECT_EQ(Rfc3339(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(Rfc3339(1700000000123), "2023-11-14T22:13:20.123Z");
  EXPECT_EQ(Rfc3339(951825599999), "2000-02-29T11:59:59.999Z");
}

PingCycleFigures Cycle(const std::string& qmgr, const std::string& queue) {
  PingCycleFigures f{};
  f.qmgr = qmgr;
  f.queue = queue;
  f.stats.lMsgsSent = 10;
  f.stats.lMsgsReceived = 12;
  f.stats.lReportsReceived = 2;
  f.stats.lConfirmedArrivals = 2;
  f.stats.lBytesSent = 360;
  f.stats.lBytesReceived = 432;
  f.stats.llMaxRoundTrip = 9;
  f.indicators = ping_indicators(f.stats);
  f.latency = {10, 3000, 8000, 9000, 9000, 9000, 55000, 5500, 2000};  // microseconds
  f.reason = 2033;
  f.startMs = 1700000000000;
  f.endMs = 1700000000250;
  return f;
}

TEST(PingOutputJson, NamesAreEscapedAndFiguresKeepTheirUnits) {
  auto f = Cycle("QM\"1\\", "Q\n.1");
  std::string line = FormatCycleJson(f);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line
  auto j = nlohmann::json::parse(line);
  EXPECT_EQ(j["qmgr"], "QM\"1\\");
  EXPECT_EQ(j["queue"], "Q\n.1");
  EXPECT_EQ(j["completion_code"], 2033);
  EXPECT_EQ(j["reason_name"], "MQRC_NO_MSG_AVAILABLE");
  EXPECT_EQ(j["responses_received"], 10);
  EXPECT_DOUBLE_EQ(j["maximum_round_trip_seconds"].get<double>(), 0.009);
  EXPECT_DOUBLE_EQ(j["round_trip_p90_seconds"].get<double>(), 0.008);
  EXPECT_EQ(j["start_time"], "2023-11-14T22:13:20.000Z");
  EXPECT_EQ(j["end_time"], "2023-11-14T22:13:20.250Z");
  for (auto& [key, value] : j.items()) {
    EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](char c) { return std::islower(c) || std::isdigit(c) || c == '_'; }))
        << key;
    EXPECT_FALSE(value.is_null()) << key;
  }
}

// The samples of one metric family, "name{labels}" to value.
std::map<std::string, std::string> Samples(const std::string& text) {
  std::map<std::string, std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t space = line.rfind(' ');
    out[line.substr(0, space)] = line.substr(space + 1);
  }
  return out;
}

TEST(PingOutputPrometheus, CountersAddUpOverCyclesAndLabelsAreEscaped) {
  PingRunTotals totals{};
  auto f = Cycle("QM1", "A\"B\\C");
  AddToTotals(&totals, f);
  AddToTotals(&totals, f);
  std::string text = FormatPrometheus(f, totals);
  auto samples = Samples(text);
  const std::string labels = R"({qmgr="QM1",queue="A\"B\\C"})";
  EXPECT_EQ(samples["vrqmq_messages_sent_total" + labels], "20");
  EXPECT_EQ(samples["vrqmq_responses_received_total" + labels], "20");
  EXPECT_EQ(samples["vrqmq_cycles_total" + labels], "2");
  EXPECT_EQ(samples["vrqmq_round_trip_seconds_count" + labels], "20");
  EXPECT_EQ(samples["vrqmq_round_trip_seconds_sum" + labels], "0.11");
  EXPECT_EQ(samples[R"(vrqmq_round_trip_seconds{qmgr="QM1",queue="A\"B\\C",quantile="0.99"})"], "0.009");
  EXPECT_EQ(samples["vrqmq_round_trip_maximum_seconds" + labels], "0.009");
  EXPECT_EQ(samples[R"(vrqmq_completion_code{qmgr="QM1",queue="A\"B\\C",reason="MQRC_NO_MSG_AVAILABLE"})"], "2033");
  EXPECT_EQ(samples["vrqmq_last_cycle_end_timestamp_seconds" + labels], "1700000000.25");

  // A cycle without responses has no quantiles to give.
  f.latency = {};
  auto none = Samples(FormatPrometheus(f, totals));
  EXPECT_EQ(none[R"(vrqmq_round_trip_seconds{qmgr="QM1",queue="A\"B\\C",quantile="0.5"})"], "NaN");
}

TEST(PingOutputPrometheus, PromtoolAcceptsTheExposition) {
#ifdef _WIN32
  GTEST_SKIP() << "promtool is a Linux program (under Wine /usr/bin is reachable, not runnable)";
#endif
  if (!std::filesystem::exists("/usr/bin/promtool")) GTEST_SKIP() << "promtool is not installed";
  vrqtest::TempDir dir;
  PingRunTotals totals{};
  auto f = Cycle("QM1", "Q\"1");
  AddToTotals(&totals, f);
  std::string path = dir.path() + "/metrics.prom";
  ASSERT_TRUE(WriteFileAtomically(path, FormatPrometheus(f, totals)));
  auto r = vrqtest::Run({"/bin/sh", "-c", "/usr/bin/promtool check metrics < " + path});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST(PingOutputFile, ReplacedWholeWithoutLeftovers) {
  vrqtest::TempDir dir;
  std::string path = dir.path() + "/vrqmq.prom";
  ASSERT_TRUE(WriteFileAtomically(path, "first\n"));
  ASSERT_TRUE(WriteFileAtomically(path, "second\n"));
  std::ifstream in(path);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "second\n");
  size_t files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);

  // A folder that is not there: refused, and nothing is left behind.
  EXPECT_FALSE(WriteFileAtomically(dir.path() + "/missing/vrqmq.prom", "x\n"));
  // A file in the way of the rename target: the old content stays as it was.
  std::filesystem::create_directory(dir.path() + "/taken");
  EXPECT_FALSE(WriteFileAtomically(dir.path() + "/taken", "x\n"));
  files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2u);
}

}  // namespace
