// Local bindings while the queue manager's TCP listener is flooded: 1,000 and 10,000 TCP
// connections that either never send a byte (idle) or send random bytes (garbage), each
// reopened as soon as the queue manager closes it. Meanwhile the benchmark connects by local
// bindings, puts and gets one message and disconnects, and runs a `vrqmq` ping; it reports
// the local round trip, the pings that failed (must be 0), the flood connections opened and
// those the queue manager closed. Beside it the same local round trip with no flood.
// Starts its own queue manager in a temporary directory and removes it afterwards.
#include <benchmark/benchmark.h>
#include <cmqc.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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

const std::string kQm = "BENCH.FLOOD.QM";
std::string g_dir;
int g_port = 0;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  return fd;
}

// Keeps count TCP connections open to the listener, reopening each one the queue manager
// closes; garbage ones send 64 random bytes every 100 ms.
class Flood {
 public:
  Flood(int count, bool garbage) : fds_(static_cast<size_t>(count), -1), garbage_(garbage) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Flood() {
    stop_ = true;
    thread_.join();
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  long opened() const { return opened_; }
  long closed() const { return closed_; }

 private:
  void Run() {
    std::mt19937 rng(7);
    std::vector<pollfd> p;
    while (!stop_) {
      for (int& fd : fds_) {
        if (fd < 0 && (fd = Connect(g_port)) >= 0) ++opened_;
      }
      p.clear();
      for (int fd : fds_) p.push_back({fd, POLLIN, 0});
      poll(p.data(), p.size(), 100);
      char buf[256];
      for (size_t i = 0; i < p.size(); ++i) {
        if (fds_[i] < 0) continue;
        bool dead = (p[i].revents & (POLLHUP | POLLERR)) != 0;
        if (!dead && (p[i].revents & POLLIN)) dead = recv(fds_[i], buf, sizeof buf, MSG_DONTWAIT) <= 0;
        if (!dead && garbage_) {
          for (char& c : buf) c = static_cast<char>(rng());
          dead = send(fds_[i], buf, 64, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN;
        }
        if (dead) {
          close(fds_[i]);
          fds_[i] = -1;
          ++closed_;
        }
      }
    }
  }

  std::vector<int> fds_;
  bool garbage_;
  std::atomic<bool> stop_{false};
  std::atomic<long> opened_{0}, closed_{0};
  std::thread thread_;
};

bool LocalRoundTrip() {
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  MQLONG cc, rc;
  char name[48] = {};
  std::memcpy(name, kQm.data(), kQm.size());
  MQCONN(name, &h, &cc, &rc);
  if (cc == MQCC_FAILED) return false;
  MQOD od = {MQOD_DEFAULT};
  std::memcpy(od.ObjectName, "Q1", 2);
  MQHOBJ o;
  MQOPEN(h, &od, MQOO_OUTPUT | MQOO_INPUT_SHARED, &o, &cc, &rc);
  bool ok = cc == MQCC_OK;
  char data[100] = "flood";
  MQMD md = {MQMD_DEFAULT};
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT;
  if (ok) MQPUT(h, o, &md, &pmo, sizeof data, data, &cc, &rc);
  ok = ok && cc == MQCC_OK;
  MQMD md2 = {MQMD_DEFAULT};
  MQGMO gmo = {MQGMO_DEFAULT};
  MQLONG length = 0;
  if (ok) MQGET(h, o, &md2, &gmo, sizeof data, data, &length, &cc, &rc);
  ok = ok && cc == MQCC_OK;
  MQDISC(&h, &cc, &rc);
  return ok;
}

void Run(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool garbage = state.range(1) != 0;
  std::unique_ptr<Flood> flood;
  if (count > 0) {
    flood = std::make_unique<Flood>(count, garbage);
    std::this_thread::sleep_for(std::chrono::seconds(2));   // the flood in full swing
  }
  long failed = 0, pings_failed = 0, pings = 0;
  for (auto _ : state) {
    if (!LocalRoundTrip()) ++failed;
  }
  // The ping utility, through local bindings, a few times while the flood goes on.
  const std::string ping = std::string(VRQMQ_PATH) + " -m" + kQm + " -b5 -w10000 >/dev/null 2>&1";
  for (int i = 0; i < 3; ++i, ++pings)
    if (std::system(ping.c_str()) != 0) ++pings_failed;
  state.counters["local_failures"] = static_cast<double>(failed);
  state.counters["pings_failed"] = static_cast<double>(pings_failed);
  state.counters["pings"] = static_cast<double>(pings);
  if (flood) {
    state.counters["flood_opened"] = static_cast<double>(flood->opened());
    state.counters["flood_closed_by_qm"] = static_cast<double>(flood->closed());
  }
}

}  // namespace

BENCHMARK(Run)->ArgNames({"connections", "garbage"})
    ->Args({0, 0})->Args({1000, 0})->Args({1000, 1})->Args({10000, 0})->Args({10000, 1})
    ->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();

int main(int argc, char** argv) {
  rlimit rl{};
  getrlimit(RLIMIT_NOFILE, &rl);
  rl.rlim_cur = rl.rlim_max;
  setrlimit(RLIMIT_NOFILE, &rl);
  if (rl.rlim_cur < 12000) {
    std::fprintf(stderr, "the descriptor limit (%llu) is below the 10,000 connections measured\n",
                 static_cast<unsigned long long>(rl.rlim_cur));
  }
  char tmpl[] = "/tmp/vrq-bench-flood-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  g_dir = tmpl;
  setenv("VRQSIM_DIR", g_dir.c_str(), 1);
  const std::string server = VRQ_STANDIN_SERVER;
  const std::string defs = g_dir + "/defs";
  std::ofstream(defs) << "DEFINE QLOCAL(Q1)\nDEFINE QMODEL(ORVANE.MODEL.QUEUE)\n";
  if (std::system((server + " create " + kQm + " -d " + defs + " >/dev/null").c_str()) != 0 ||
      std::system(("VRQSIM_TCP_PORT=0 " + server + " start " + kQm + " >/dev/null").c_str()) != 0)
    return 1;
  std::ifstream(g_dir + "/" + kQm + "/qm.port") >> g_port;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::system((server + " stop " + kQm + " >/dev/null").c_str());
  std::system(("rm -rf " + g_dir).c_str());
  return 0;
}
