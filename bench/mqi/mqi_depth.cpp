// The stand-in queue manager at depth and under load, each beside its natural limit in
// the same run:
//   - put N messages, then get them all, at depths 1,000 to 1,000,000: microseconds per put
//     and per get (a store whose cost does not grow with depth keeps these flat), and at
//     1,000,000 the server's resident memory per message;
//   - a get by CorrelId out of a queue N deep (the message put back after each get);
//   - 8 producers and 8 consumers, each on its own connection, putting and getting under
//     syncpoint with a commit every 10 messages: messages per second, beside 16 clients
//     doing request/response round trips with one poll()-driven echo thread over Unix
//     sockets (one round trip per MQI call is the floor the queue manager works from).
// Starts its own queue manager in a temporary directory and removes it afterwards.
#include <benchmark/benchmark.h>
#include <cmqc.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kQm = "BENCH.DEPTH.QM";
constexpr MQLONG kSize = 100;
constexpr int kWorkers = 8;
constexpr int kBatch = 10;
std::string g_dir;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ServerPid() {
  std::ifstream pid_file(g_dir + "/" + kQm + "/qm.pid");
  std::string pid;
  pid_file >> pid;
  return pid;
}

// CPU time the queue-manager process has used, in seconds. On a shared machine the wall
// time per call mostly measures waiting for a processor; the server's own CPU time per
// message is what shows whether the store's cost grows with depth.
double ServerCpu() {
  std::ifstream schedstat("/proc/" + ServerPid() + "/schedstat");
  double ns = 0;
  schedstat >> ns;
  return ns / 1e9;
}

// Resident memory of the queue-manager process, in bytes.
double ServerRss() {
  std::ifstream status("/proc/" + ServerPid() + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
  return 0;
}

struct Client {
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  MQHOBJ q = MQHO_UNUSABLE_HOBJ;
  bool ok = false;

  explicit Client(const char* queue) {
    MQLONG cc, rc;
    MQCONN(const_cast<char*>(kQm.c_str()), &h, &cc, &rc);
    if (cc != MQCC_OK) return;
    MQOD od = {MQOD_DEFAULT};
    std::memcpy(od.ObjectName, queue, std::min(std::strlen(queue), sizeof od.ObjectName));
    MQOPEN(h, &od, MQOO_OUTPUT | MQOO_INPUT_SHARED, &q, &cc, &rc);
    ok = cc == MQCC_OK;
  }
  ~Client() {
    MQLONG cc, rc;
    if (ok) MQCLOSE(h, &q, MQCO_NONE, &cc, &rc);
    if (h != MQHC_UNUSABLE_HCONN) MQDISC(&h, &cc, &rc);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  MQLONG Put(MQLONG options, const MQBYTE24* correl = nullptr) {
    MQMD md = {MQMD_DEFAULT};
    if (correl) std::memcpy(md.CorrelId, *correl, sizeof md.CorrelId);
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = options;
    char data[kSize] = {};
    MQLONG cc, rc;
    MQPUT(h, q, &md, &pmo, kSize, data, &cc, &rc);
    return rc;
  }
  MQLONG Get(MQLONG options, MQLONG wait = 0, const MQBYTE24* correl = nullptr) {
    MQMD md = {MQMD_DEFAULT};
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Version = MQGMO_VERSION_2;
    gmo.Options = options | (wait ? MQGMO_WAIT : 0);
    gmo.WaitInterval = wait;
    gmo.MatchOptions = MQMO_NONE;
    if (correl) {
      gmo.MatchOptions = MQMO_MATCH_CORREL_ID;
      std::memcpy(md.CorrelId, *correl, sizeof md.CorrelId);
    }
    char data[kSize];
    MQLONG length, cc, rc;
    MQGET(h, q, &md, &gmo, kSize, data, &length, &cc, &rc);
    return rc;
  }
  void Commit() {
    MQLONG cc, rc;
    MQCMIT(h, &cc, &rc);
  }
};

void Correl(MQBYTE24& id, uint64_t n) {
  std::memset(id, 0, sizeof id);
  std::memcpy(id, "BENCH", 5);
  std::memcpy(id + 16, &n, sizeof n);
}

// Put N, then get N, first-in first-out; microseconds per put and per get.
void BM_PutThenGet(benchmark::State& state) {
  Client c("BENCH.DEPTH");
  if (!c.ok) return state.SkipWithError("no stand-in queue manager");
  const auto depth = static_cast<int64_t>(state.range(0));
  double put_s = 0, get_s = 0, put_cpu = 0, get_cpu = 0, rss_per_msg = 0;
  for (auto _ : state) {
    const double rss_before = ServerRss();
    double cpu = ServerCpu();
    auto t0 = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < depth; ++i)
      if (c.Put(MQPMO_NO_SYNCPOINT) != MQRC_NONE) return state.SkipWithError("MQPUT failed");
    put_s += Seconds(t0);
    put_cpu += ServerCpu() - cpu;
    if (rss_per_msg == 0) rss_per_msg = (ServerRss() - rss_before) / static_cast<double>(depth);
    cpu = ServerCpu();
    t0 = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < depth; ++i)
      if (c.Get(MQGMO_NO_SYNCPOINT) != MQRC_NONE) return state.SkipWithError("MQGET failed");
    get_s += Seconds(t0);
    get_cpu += ServerCpu() - cpu;
  }
  const double n = static_cast<double>(depth) * static_cast<double>(state.iterations());
  state.counters["put_us"] = put_s / n * 1e6;
  state.counters["get_us"] = get_s / n * 1e6;
  state.counters["put_server_us"] = put_cpu / n * 1e6;
  state.counters["get_server_us"] = get_cpu / n * 1e6;
  // Only the first, deepest run grows the server's heap; later runs reuse it.
  if (depth >= 1000000) state.counters["rss_bytes_per_msg"] = rss_per_msg;
  state.SetItemsProcessed(static_cast<int64_t>(n) * 2);
}
BENCHMARK(BM_PutThenGet)->Arg(1000000)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PutThenGet)->Arg(100000)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PutThenGet)->Arg(10000)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PutThenGet)->Arg(1000)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);

// A get by CorrelId out of a queue N deep, each message with its own CorrelId; the message
// is put back (not timed) so that the depth stays N.
void BM_MatchingGet(benchmark::State& state) {
  Client c("BENCH.MATCH");
  if (!c.ok) return state.SkipWithError("no stand-in queue manager");
  const auto depth = static_cast<uint64_t>(state.range(0));
  MQBYTE24 id;
  for (uint64_t i = 0; i < depth; ++i) {
    Correl(id, i);
    if (c.Put(MQPMO_NO_SYNCPOINT, &id) != MQRC_NONE) return state.SkipWithError("fill failed");
  }
  std::mt19937_64 random(42);
  const double cpu = ServerCpu();
  for (auto _ : state) {
    Correl(id, random() % depth);
    if (c.Get(MQGMO_NO_SYNCPOINT, 0, &id) != MQRC_NONE) return state.SkipWithError("matching MQGET failed");
    state.PauseTiming();
    c.Put(MQPMO_NO_SYNCPOINT, &id);
    state.ResumeTiming();
  }
  // Server CPU for the get and the put that follows it.
  state.counters["server_us"] = (ServerCpu() - cpu) / static_cast<double>(state.iterations()) * 1e6;
  while (c.Get(MQGMO_NO_SYNCPOINT) == MQRC_NONE) {
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_MatchingGet)->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// 8 producers and 8 consumers under syncpoint, a commit every 10 messages.
void BM_ProducersConsumers(benchmark::State& state) {
  const int per_producer = static_cast<int>(state.range(0));
  const int total = per_producer * kWorkers;
  const double cpu = ServerCpu();
  for (auto _ : state) {
    std::atomic<int> consumed{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; ++w) {
      threads.emplace_back([&] {
        Client c("BENCH.LOAD");
        if (!c.ok) return failed.store(true);
        for (int i = 1; i <= per_producer; ++i) {
          if (c.Put(MQPMO_SYNCPOINT) != MQRC_NONE) return failed.store(true);
          if (i % kBatch == 0 || i == per_producer) c.Commit();
        }
      });
      threads.emplace_back([&] {
        Client c("BENCH.LOAD");
        if (!c.ok) return failed.store(true);
        int held = 0;
        while (consumed.load() < total && !failed.load()) {
          const MQLONG rc = c.Get(MQGMO_SYNCPOINT, 100);
          if (rc == MQRC_NONE) {
            ++held;
            consumed.fetch_add(1);
          } else if (rc != MQRC_NO_MSG_AVAILABLE) {
            return failed.store(true);
          }
          if (held == kBatch || (held && rc == MQRC_NO_MSG_AVAILABLE) || (held && consumed.load() >= total)) {
            c.Commit();
            held = 0;
          }
        }
        if (held) c.Commit();
      });
    }
    for (auto& t : threads) t.join();
    if (failed.load()) return state.SkipWithError("a producer or consumer failed");
  }
  state.counters["server_us_per_msg"] = (ServerCpu() - cpu) / static_cast<double>(state.iterations() * total) * 1e6;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * total);
}
BENCHMARK(BM_ProducersConsumers)->Arg(2500)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

bool ReadAll(int fd, char* p, size_t n) {
  while (n) {
    const ssize_t r = read(fd, p, n);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// 16 clients, each doing request/response round trips of a put's size with one echo
// thread that serves every socket from one poll(), as the queue manager does.
void BM_BareSocketLoop16(benchmark::State& state) {
  constexpr size_t kFrame = 8 + 364 + kSize;
  const int per_client = static_cast<int>(state.range(0));
  constexpr int kClients = 2 * kWorkers;
  for (auto _ : state) {
    std::vector<int> client_fds, server_fds;
    for (int i = 0; i < kClients; ++i) {
      int fds[2];
      if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return state.SkipWithError("socketpair failed");
      client_fds.push_back(fds[0]);
      server_fds.push_back(fds[1]);
    }
    std::thread echo([&] {
      std::vector<pollfd> polled;
      for (int fd : server_fds) polled.push_back({fd, POLLIN, 0});
      size_t open = polled.size();
      char buf[kFrame];
      while (open) {
        if (poll(polled.data(), polled.size(), 1000) <= 0) break;
        for (auto& p : polled) {
          if (p.fd < 0 || !p.revents) continue;
          if (!ReadAll(p.fd, buf, sizeof buf) || write(p.fd, buf, sizeof buf) != static_cast<ssize_t>(sizeof buf)) {
            p.fd = -1;
            --open;
          }
        }
      }
    });
    std::vector<std::thread> clients;
    for (int fd : client_fds) {
      clients.emplace_back([fd, per_client] {
        char buf[kFrame] = {};
        for (int i = 0; i < per_client; ++i)
          if (write(fd, buf, sizeof buf) != static_cast<ssize_t>(sizeof buf) || !ReadAll(fd, buf, sizeof buf)) return;
        shutdown(fd, SHUT_WR);
      });
    }
    for (auto& t : clients) t.join();
    echo.join();
    for (int fd : client_fds) close(fd);
    for (int fd : server_fds) close(fd);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * per_client * kClients);
}
BENCHMARK(BM_BareSocketLoop16)->Arg(2500)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

int Sim(const std::string& args) {
  return std::system((std::string(VRQ_STANDIN_SERVER) + " " + args + " >/dev/null").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  char dir[] = "/tmp/vrqbench.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  g_dir = dir;
  setenv("VRQSIM_DIR", dir, 1);
  const std::string defs = g_dir + "/bench.mqsc";
  std::ofstream(defs) << "DEFINE QLOCAL(BENCH.DEPTH) MAXDEPTH(1000000)\n"
                         "DEFINE QLOCAL(BENCH.MATCH) MAXDEPTH(1000000)\n"
                         "DEFINE QLOCAL(BENCH.LOAD) MAXDEPTH(1000000)\n";
  if (Sim("create " + kQm + " -d " + defs) != 0 || Sim("start " + kQm) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Sim("stop " + kQm);
  Sim("delete " + kQm);
  std::remove(defs.c_str());
  rmdir(dir);
  return 0;
}
