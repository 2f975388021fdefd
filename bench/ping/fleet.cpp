// The serve mode's cost for a fleet: one process probing 1, 10 and 100 stand-in queue
// managers at once, beside a raw MQI loop (MQPUT of the same PCF pings to the command
// queue, MQGET of their responses from a dynamic reply queue, nothing else) in the same
// run. For each fleet size it prints the wall time of probing every target at once
// against probing one, the probe process's CPU time per ping against the raw loop's, and
// the resident memory each target adds (its thread, connection and messages).
//
// Usage: bench_ping_fleet [largest fleet (100)] [pings per probe (20)] [rounds (20)]
// Starts its queue managers (vrqsim) in a temporary folder and stops them at the end.
#include <cmqc.h>
#include <cmqcfc.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ping_serve.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ProcessCpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long RssKiB() {
  long pages = 0, rss = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
    std::fclose(f);
  }
  return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

int Sh(const std::string& command) { return std::system(command.c_str()); }

std::string QmName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "FLEET.QM%03d", i);
  return name;
}

// The raw loop: batches of PCF pings put and their responses got, on one connection.
// Returns the CPU seconds of this thread per ping (wall per ping in *wall).
double RawLoop(const std::string& qm, int batch, int rounds, double* wall) {
  MQHCONN hconn = MQHC_UNUSABLE_HCONN;
  MQLONG cc = 0, rc = 0;
  MQCHAR name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
  std::memcpy(name, qm.data(), qm.size());
  MQCONN(name, &hconn, &cc, &rc);
  if (cc == MQCC_FAILED) {
    std::fprintf(stderr, "raw loop: MQCONN %s: %d\n", qm.c_str(), static_cast<int>(rc));
    return -1;
  }
  MQOD cmd = {MQOD_DEFAULT}, reply = {MQOD_DEFAULT};
  std::memcpy(cmd.ObjectName, "SYSTEM.ADMIN.COMMAND.QUEUE", 26);
  std::memcpy(reply.ObjectName, "ORVANE.MODEL.QUEUE", 18);
  std::memset(reply.DynamicQName, 0, sizeof reply.DynamicQName);
  std::memcpy(reply.DynamicQName, "RAW*", 4);
  MQHOBJ hcmd = 0, hreply = 0;
  MQLONG cc2 = 0;
  MQOPEN(hconn, &cmd, MQOO_OUTPUT | MQOO_FAIL_IF_QUIESCING, &hcmd, &cc2, &rc);
  if (cc2 != MQCC_FAILED) MQOPEN(hconn, &reply, MQOO_INPUT_EXCLUSIVE | MQOO_FAIL_IF_QUIESCING, &hreply, &cc2, &rc);
  if (cc2 == MQCC_FAILED) {
    std::fprintf(stderr, "raw loop: MQOPEN: %d\n", static_cast<int>(rc));
    return -1;
  }
  MQCFH ping = {MQCFH_DEFAULT};
  ping.Type = MQCFT_COMMAND;
  ping.Command = MQCMD_PING_Q_MGR;
  char buffer[4096];
  double cpu0 = ThreadCpu(), wall0 = Now();
  for (int r = 0; r < rounds; ++r) {
    for (int i = 0; i < batch; ++i) {
      MQMD md = {MQMD_DEFAULT};
      MQPMO pmo = {MQPMO_DEFAULT};
      pmo.Options = MQPMO_NO_SYNCPOINT | MQPMO_NEW_MSG_ID;
      md.MsgType = MQMT_REQUEST;
      md.Report = MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID | MQRO_DISCARD_MSG;
      std::memcpy(md.Format, MQFMT_ADMIN, MQ_FORMAT_LENGTH);
      std::memcpy(md.ReplyToQ, reply.ObjectName, MQ_Q_NAME_LENGTH);
      MQPUT(hconn, hcmd, &md, &pmo, sizeof ping, &ping, &cc, &rc);
    }
    for (int i = 0; i < batch; ++i) {
      MQMD md = {MQMD_DEFAULT};
      MQGMO gmo = {MQGMO_DEFAULT};
      gmo.Options = MQGMO_WAIT | MQGMO_NO_SYNCPOINT;
      gmo.WaitInterval = 10000;
      MQLONG length = 0;
      MQGET(hconn, hreply, &md, &gmo, sizeof buffer, buffer, &length, &cc, &rc);
    }
  }
  double pings = static_cast<double>(batch) * rounds;
  *wall = (Now() - wall0) / pings;
  double cpu = (ThreadCpu() - cpu0) / pings;
  MQCLOSE(hconn, &hreply, MQCO_NONE, &cc, &rc);
  MQCLOSE(hconn, &hcmd, MQCO_NONE, &cc, &rc);
  MQDISC(&hconn, &cc, &rc);
  return cpu;
}

struct Fleet {
  double wall;         // seconds of one round: every target probed at once
  double cpuPerPing;   // process CPU seconds per ping
  double kibPerTarget;
  int failures;
};

Fleet ProbeFleet(int n, int batch, int rounds) {
  std::vector<ServeTarget> targets;
  for (int i = 1; i <= n; ++i) {
    ServeTarget t;
    t.name = QmName(i);
    t.qmgr = QmName(i);
    t.batch = batch;
    t.deadlineMs = 30000;
    targets.push_back(t);
  }
  long rss0 = RssKiB();
  ProbeService service(targets, n + 8);
  Fleet f{};
  auto round = [&] {
    std::vector<std::thread> threads;
    std::vector<int> ok(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
      threads.emplace_back([&, i] {
        std::string body;
        service.Probe(targets[static_cast<size_t>(i)].name, 0, &body);
        ok[static_cast<size_t>(i)] = body.find("\nvrqmq_probe_success 1\n") != std::string::npos;
      });
    for (auto& t : threads) t.join();
    int failed = 0;
    for (int v : ok) failed += v ? 0 : 1;
    return failed;
  };
  f.failures = round();  // connects every target
  f.kibPerTarget = static_cast<double>(RssKiB() - rss0) / n;
  double cpu0 = ProcessCpu(), wall0 = Now();
  for (int r = 0; r < rounds; ++r) f.failures += round();
  f.wall = (Now() - wall0) / rounds;
  f.cpuPerPing = (ProcessCpu() - cpu0) / (static_cast<double>(n) * batch * rounds);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int largest = argc > 1 ? std::atoi(argv[1]) : 100;
  const int batch = argc > 2 ? std::atoi(argv[2]) : 20;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 20;
  if (largest < 1 || batch < 1 || rounds < 1) {
    std::fprintf(stderr, "usage: bench_ping_fleet [largest fleet] [pings per probe] [rounds]\n");
    return 2;
  }
  char dir[] = "/tmp/vrq-fleet-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("VRQSIM_DIR", dir, 1);
  const std::string sim = VRQSIM_PATH;
  const std::string defs = std::string(dir) + "/defs.mqsc";
  if (FILE* f = std::fopen(defs.c_str(), "w")) {
    std::fputs("DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN) MAXDEPTH(100000)\n", f);
    std::fclose(f);
  }
  std::printf("starting %d stand-in queue managers in %s\n", largest, dir);
  std::fflush(stdout);
  for (int i = 1; i <= largest; ++i) {
    if (Sh(sim + " create " + QmName(i) + " -d " + defs + " >/dev/null") != 0 ||
        Sh(sim + " start " + QmName(i) + " >/dev/null") != 0) {
      std::fprintf(stderr, "cannot start %s\n", QmName(i).c_str());
      return 1;
    }
  }
  std::printf("pings per probe %d, rounds %d, %u cores\n\n", batch, rounds, std::thread::hardware_concurrency());
  std::printf("%8s %14s %12s %16s %16s %10s %14s %9s\n", "targets", "round wall ms", "vs one", "probe CPU us/ping",
              "raw CPU us/ping", "CPU ratio", "KiB per target", "failures");
  double oneWall = 0;
  for (int n : {1, 10, 100}) {
    if (n > largest) break;
    double rawWall = 0;
    double raw = RawLoop(QmName(1), batch, rounds * 5, &rawWall);
    Fleet f = ProbeFleet(n, batch, rounds);
    if (n == 1) oneWall = f.wall;
    std::printf("%8d %14.3f %12.2f %16.2f %16.2f %10.3f %14.0f %9d\n", n, f.wall * 1e3, f.wall / oneWall,
                f.cpuPerPing * 1e6, raw * 1e6, f.cpuPerPing / raw, f.kibPerTarget, f.failures);
    std::fflush(stdout);
  }
  for (int i = 1; i <= largest; ++i) Sh(sim + " stop " + QmName(i) + " >/dev/null 2>&1");
  Sh(std::string("rm -rf ") + dir);
  return 0;
}
