// A 200-byte message put and got again through an open MQueue (qqWrite + qqRead) beside
// the same MQPUT + MQGET made directly, both on one stand-in queue manager that the
// program starts in a temporary directory: the difference is the queue object's cost.
#include <cmqc.h>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "vrqmqtx.h"

namespace {

const std::string kQm = "QM.BENCH.MQTX";
constexpr const char* kQueue = "SYSTEM.DEFAULT.LOCAL.QUEUE";
constexpr int kSize = 200;

MQHCONN Connect() {
  char name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
  std::strncpy(name, kQm.c_str(), MQ_Q_MGR_NAME_LENGTH);
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  MQLONG cc = 0, rc = 0;
  MQCONN(name, &h, &cc, &rc);
  return cc == MQCC_FAILED ? MQHC_UNUSABLE_HCONN : h;
}

void Disconnect(MQHCONN h) {
  MQLONG cc = 0, rc = 0;
  MQDISC(&h, &cc, &rc);
}

void BM_QueueObjectWriteRead(benchmark::State& state) {
  const MQHCONN h = Connect();
  MQueue* q = CreateMQueue(h, kQueue);
  if (q == nullptr || qqOpen(MQOO_INPUT_SHARED | MQOO_OUTPUT, q, "") == 0) {
    state.SkipWithError("cannot open the queue");
    DeleteMQueue(q);
    Disconnect(h);
    return;
  }
  MESSAGE msg{};
  CreateMessage(&msg, kSize);
  for (auto _ : state) {
    ResetMessage(&msg);
    std::memset(msg.pData, 'x', kSize);
    msg.lMsgLength += kSize;
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = MQPMO_NO_SYNCPOINT;
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Options = MQGMO_NO_SYNCPOINT;
    if (qqWrite(&msg, &pmo, q) == 0 || qqRead(&msg, &gmo, q) == 0) {
      state.SkipWithError("put or get failed");
      break;
    }
  }
  DeleteMessage(&msg);
  DeleteMQueue(q);
  Disconnect(h);
}

void BM_BareMqiPutGet(benchmark::State& state) {
  const MQHCONN h = Connect();
  MQOD od = {MQOD_DEFAULT};
  std::strncpy(od.ObjectName, kQueue, MQ_Q_NAME_LENGTH);
  MQHOBJ hobj = MQHO_UNUSABLE_HOBJ;
  MQLONG cc = 0, rc = 0;
  MQOPEN(h, &od, MQOO_INPUT_SHARED | MQOO_OUTPUT | MQOO_FAIL_IF_QUIESCING, &hobj, &cc, &rc);
  if (cc == MQCC_FAILED) {
    state.SkipWithError("cannot open the queue");
    Disconnect(h);
    return;
  }
  char data[kSize];
  std::memset(data, 'x', kSize);
  for (auto _ : state) {
    MQMD md = {MQMD_DEFAULT};
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = MQPMO_NO_SYNCPOINT;
    MQPUT(h, hobj, &md, &pmo, kSize, data, &cc, &rc);
    md = MQMD{MQMD_DEFAULT};
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Options = MQGMO_NO_SYNCPOINT;
    MQLONG length = 0;
    MQGET(h, hobj, &md, &gmo, kSize, data, &length, &cc, &rc);
    if (cc == MQCC_FAILED) {
      state.SkipWithError("put or get failed");
      break;
    }
  }
  MQCLOSE(h, &hobj, MQCO_NONE, &cc, &rc);
  Disconnect(h);
}

BENCHMARK(BM_QueueObjectWriteRead);
BENCHMARK(BM_BareMqiPutGet);

int Sim(const std::string& args) {
  return std::system((std::string(VRQ_STANDIN_SERVER) + " " + args + " >/dev/null").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  char dir[] = "/tmp/vrqbench.XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  setenv("VRQSIM_DIR", dir, 1);
  Sim("create " + kQm);
  Sim("start " + kQm);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Sim("stop " + kQm);
  Sim("delete " + kQm);
  rmdir(dir);
  return 0;
}
