// Persistent MQPUT + MQCMIT throughput through the stand-in queue manager with 1, 4 and 16
// clients, measured beside the disk's own limit: a loop that writes the bytes of one put
// and its commit to a file on the same file system and calls fdatasync, in the same run.
// Group commit lets many clients share one fdatasync, so 16 clients should pass the
// single-writer loop. Non-persistent put + commit is measured alongside.
//
// The queue manager lives in a temporary directory under $VRQ_BENCH_DIR (default /tmp);
// point it at the file system to be measured.
#include <benchmark/benchmark.h>
#include <cmqc.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kQm = "BENCH.PERSIST";
const std::string kQueue = "BENCH.Q";
constexpr MQLONG kSize = 200;
constexpr auto kRun = std::chrono::seconds(3);
// A put record (header, identifiers, queue name, descriptor, data) and a commit record.
constexpr size_t kLoggedBytes = 9 + 8 + 8 + 4 + 7 + 8 + 4 + sizeof(MQMD) + kSize + 9 + 8;

std::string g_dir;
double g_raw_rate = 0;

void Report(benchmark::State& state, uint64_t done, double seconds) {
  const double rate = static_cast<double>(done) / seconds;
  state.counters["per_second"] = rate;
  if (g_raw_rate > 0) state.counters["vs_raw_loop"] = rate / g_raw_rate;
}

void BM_RawWriteFdatasync(benchmark::State& state) {
  const std::string path = g_dir + "/raw.log";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    state.SkipWithError("cannot open a file beside the queue manager");
    return;
  }
  std::vector<char> record(kLoggedBytes, 'r');
  for (auto _ : state) {
    uint64_t done = 0;
    off_t offset = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < kRun) {
      if (pwrite(fd, record.data(), record.size(), offset) != static_cast<ssize_t>(record.size()) || fdatasync(fd) != 0) {
        state.SkipWithError("write or fdatasync failed");
        break;
      }
      offset += static_cast<off_t>(record.size());
      ++done;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Report(state, done, seconds);
    if (g_raw_rate == 0) g_raw_rate = static_cast<double>(done) / seconds;
  }
  close(fd);
  unlink(path.c_str());
}
BENCHMARK(BM_RawWriteFdatasync)->Iterations(1)->Unit(benchmark::kMillisecond);

// Each client: its own connection, MQPUT under syncpoint then MQCMIT, until the time is up.
void PutCommit(benchmark::State& state, MQLONG persistence) {
  const int clients = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::atomic<uint64_t> done{0};
    std::atomic<bool> failed{false};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
      threads.emplace_back([&] {
        MQHCONN h;
        MQLONG cc, rc;
        MQCONN(const_cast<char*>(kQm.c_str()), &h, &cc, &rc);
        MQOD od = {MQOD_DEFAULT};
        std::strcpy(od.ObjectName, kQueue.c_str());
        MQHOBJ q;
        MQOPEN(h, &od, MQOO_OUTPUT, &q, &cc, &rc);
        if (cc != MQCC_OK) {
          failed = true;
          return;
        }
        char data[kSize] = {};
        uint64_t mine = 0;
        while (Clock::now() - start < kRun) {
          MQMD md = {MQMD_DEFAULT};
          md.Persistence = persistence;
          MQPMO pmo = {MQPMO_DEFAULT};
          pmo.Options = MQPMO_SYNCPOINT;
          MQPUT(h, q, &md, &pmo, kSize, data, &cc, &rc);
          if (cc == MQCC_OK) MQCMIT(h, &cc, &rc);
          if (cc != MQCC_OK) {
            failed = true;
            break;
          }
          ++mine;
        }
        done += mine;
        MQCLOSE(h, &q, MQCO_NONE, &cc, &rc);
        MQDISC(&h, &cc, &rc);
      });
    }
    for (auto& t : threads) t.join();
    if (failed) state.SkipWithError("a client's call failed (is the stand-in running?)");
    Report(state, done, std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::system(("\"" VRQ_STANDIN_SERVER "\" clear " + kQm + " " + kQueue + " >/dev/null").c_str());
}

// Non-persistent first: the writeback of the persistent runs' log would slow it down.
void BM_NonPersistentPutCommit(benchmark::State& state) { PutCommit(state, MQPER_NOT_PERSISTENT); }
BENCHMARK(BM_NonPersistentPutCommit)->Arg(1)->Arg(16)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PersistentPutCommit(benchmark::State& state) { PutCommit(state, MQPER_PERSISTENT); }
BENCHMARK(BM_PersistentPutCommit)->Arg(1)->Arg(4)->Arg(16)->Iterations(1)->Unit(benchmark::kMillisecond);

// The raw loop once more at the end, to show how much the disk drifted during the run.
void BM_RawWriteFdatasyncAgain(benchmark::State& state) { BM_RawWriteFdatasync(state); }
BENCHMARK(BM_RawWriteFdatasyncAgain)->Iterations(1)->Unit(benchmark::kMillisecond);

int Sim(const std::string& args) {
  return std::system(("\"" VRQ_STANDIN_SERVER "\" " + args + " >/dev/null").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const char* base = std::getenv("VRQ_BENCH_DIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/vrqbench.XXXXXX";
  if (!mkdtemp(dir.data())) return 1;
  g_dir = dir;
  setenv("VRQSIM_DIR", dir.c_str(), 1);
  const std::string defs = dir + "/defs.mqsc";
  if (FILE* f = std::fopen(defs.c_str(), "w")) {
    std::fprintf(f, "DEFINE QLOCAL(%s) MAXDEPTH(999999999)\n", kQueue.c_str());
    std::fclose(f);
  }
  if (Sim("create " + kQm + " -d " + defs) != 0 || Sim("start " + kQm) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Sim("stop " + kQm);
  Sim("delete " + kQm);
  unlink(defs.c_str());
  rmdir(dir.c_str());
  return 0;
}
