// Queue-manager discovery over an mqs.ini of 255 queue managers beside its natural limit:
// reading the same file and picking out the Name lines with plain stream I/O.
#include <cmqc.h>
#include <cmqcfc.h>

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vrqmqtx.h"

namespace {

struct Root {
  std::string path;
  Root() {
    char pattern[] = "/tmp/bench_mq_discovery.XXXXXX";
    path = mkdtemp(pattern);
    std::ofstream mqs(path + "/mqs.ini");
    mqs << "AllQueueManagers:\n   DefaultPrefix=/var/mqm\n";
    for (int i = 0; i < VRQ_MAX_QMGR_NAMES; ++i)
      mqs << "QueueManager:\n   Name=QM.BENCH." << i << "\n   Prefix=/var/mqm\n   Directory=QM!BENCH!"
          << i << "\n";
    setenv("VXWMQ_MQS_HOME", path.c_str(), 1);
  }
  ~Root() { std::filesystem::remove_all(path); }
};

const Root& TheRoot() {
  static Root root;
  return root;
}

void BM_GetQMgrNames(benchmark::State& state) {
  TheRoot();
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE, 16384);
  for (auto _ : state) {
    ResetPcfMessage(msg, MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE);
    benchmark::DoNotOptimize(Get_QMgr_Names(msg, "*"));
  }
  DeletePcfMessage(msg);
}
BENCHMARK(BM_GetQMgrNames);

void BM_PlainNameScan(benchmark::State& state) {
  const std::string file = TheRoot().path + "/mqs.ini";
  for (auto _ : state) {
    std::ifstream in(file);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("   Name=", 0) == 0) names.push_back(line.substr(8));
    benchmark::DoNotOptimize(names.data());
  }
}
BENCHMARK(BM_PlainNameScan);

}  // namespace

BENCHMARK_MAIN();
