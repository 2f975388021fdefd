// Producers and consumers killed at random in the middle of their units of work, while 8
// of each run against one queue: what a producer committed is delivered exactly once,
// what it had not committed never, and what a killed consumer held comes back with its
// BackoutCount raised. The workers are child processes that note in shared memory what
// they are about to commit and what they committed, so that every message can be
// accounted for once the run ends and the queue is drained.
#include <cmqc.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr int kWorkers = 8;
constexpr int kMaxSpawned = 64;        // per role, first ones and replacements
constexpr int kPerProducer = 3000;
constexpr int kBatch = 5;
constexpr auto kRunTime = std::chrono::seconds(2);
const char* const kQm = "QM.KILL";

struct Pending {
  std::atomic<int> in_doubt{0};        // set before MQCMIT, cleared once counted
  int count = 0;
  int ids[kBatch][2] = {};
};

struct Shared {
  std::atomic<int> attempted[kMaxSpawned];   // producer: messages up to here put, commit asked
  std::atomic<int> committed[kMaxSpawned];   // producer: messages up to here committed
  std::atomic<int> holding[kMaxSpawned];     // consumer: holds uncommitted gets
  std::atomic<int> backed_out_seen{0};       // messages got with BackoutCount above 0
  Pending pending[kMaxSpawned];
  std::atomic<uint8_t> consumed[kMaxSpawned][kPerProducer];
};

struct Body {
  int32_t producer;
  int32_t n;
};

void Pause(std::mt19937& random) { std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000)); }

[[noreturn]] void Produce(Shared& shared, int id) {
  Connection c(kQm);
  MQHOBJ q;
  if (Open(c.hconn, "WORK", MQOO_OUTPUT, q).cc != MQCC_OK) _exit(3);
  std::mt19937 random(static_cast<unsigned>(id));
  for (int n = 0; n < kPerProducer; n += kBatch) {
    for (int k = n; k < n + kBatch; ++k) {
      Body body{id, k};
      if (Put(c.hconn, q, std::string(reinterpret_cast<char*>(&body), sizeof body), MQPMO_SYNCPOINT).cc != MQCC_OK)
        _exit(3);
      if (k == n) Pause(random);
    }
    shared.attempted[id] = n + kBatch;
    MQLONG cc, rc;
    MQCMIT(c.hconn, &cc, &rc);
    if (cc != MQCC_OK) _exit(4);
    shared.committed[id] = n + kBatch;
  }
  _exit(0);
}

[[noreturn]] void Consume(Shared& shared, int slot) {
  Connection c(kQm);
  MQHOBJ q;
  if (Open(c.hconn, "WORK", MQOO_INPUT_SHARED, q).cc != MQCC_OK) _exit(3);
  std::mt19937 random(static_cast<unsigned>(1000 + slot));
  Pending& pending = shared.pending[slot];
  for (;;) {
    Body got[kBatch];
    int count = 0;
    while (count < kBatch) {
      Got g = Get(c.hconn, q, MQGMO_SYNCPOINT | MQGMO_WAIT, 100);
      if (g.r.rc == MQRC_NO_MSG_AVAILABLE) break;
      if (g.r.cc != MQCC_OK || g.data.size() != sizeof(Body)) _exit(3);
      std::memcpy(&got[count++], g.data.data(), sizeof(Body));
      if (g.md.BackoutCount > 0) ++shared.backed_out_seen;
      shared.holding[slot] = 1;
      Pause(random);
    }
    if (!count) continue;
    pending.count = count;
    for (int i = 0; i < count; ++i) {
      pending.ids[i][0] = got[i].producer;
      pending.ids[i][1] = got[i].n;
    }
    pending.in_doubt = 1;
    MQLONG cc, rc;
    MQCMIT(c.hconn, &cc, &rc);
    if (cc != MQCC_OK) _exit(4);
    shared.holding[slot] = 0;
    for (int i = 0; i < count; ++i) ++shared.consumed[got[i].producer][got[i].n];
    pending.in_doubt = 0;
  }
}

pid_t Spawn(Shared& shared, bool producer, int id) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (producer) Produce(shared, id);
    Consume(shared, id);
  }
  return pid;
}

}  // namespace

TEST(MqiKilledWorkers, NothingCommittedIsLostOrDuplicated) {
  vrqtest::StandinQm qm(kQm, "DEFINE QLOCAL(WORK) MAXDEPTH(999999)\n");
  ASSERT_TRUE(qm.running());
  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  Shared& shared = *new (memory) Shared();

  // Role and spawn number of every live worker.
  std::map<pid_t, std::pair<bool, int>> workers;
  int spawned[2] = {0, 0};
  auto spawn = [&](bool producer) {
    const int id = spawned[producer]++;
    workers[Spawn(shared, producer, id)] = {producer, id};
  };
  for (int i = 0; i < kWorkers; ++i) {
    spawn(true);
    spawn(false);
  }

  std::mt19937 random(7);
  int kills[2] = {0, 0};
  int holding_kills = 0;
  const auto end = std::chrono::steady_clock::now() + kRunTime;
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(40 + random() % 60));
    auto it = workers.begin();
    std::advance(it, static_cast<long>(random() % workers.size()));
    const auto [producer, id] = it->second;
    if (spawned[producer] == kMaxSpawned) continue;
    if (!producer && shared.holding[id]) ++holding_kills;
    kill(it->first, SIGKILL);
    waitpid(it->first, nullptr, 0);
    workers.erase(it);
    ++kills[producer];
    spawn(producer);
  }
  int failed_workers = 0;
  for (const auto& [pid, role] : workers) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) ++failed_workers;
  }
  EXPECT_EQ(failed_workers, 0);
  EXPECT_GT(kills[0], 3);
  EXPECT_GT(kills[1], 3);

  // Whatever is left on the queue, once the killed connections are backed out.
  std::vector<std::vector<int>> drained(kMaxSpawned, std::vector<int>(kPerProducer, 0));
  Connection c(kQm);
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "WORK", MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  int backed_out = shared.backed_out_seen;
  for (;;) {
    // A killed connection's messages come back when the server has seen it go: on a busy
    // machine that may take a moment.
    Got g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT | MQGMO_WAIT, 5000);
    if (g.r.rc == MQRC_NO_MSG_AVAILABLE) break;
    ASSERT_EQ(g.r.cc, MQCC_OK);
    ASSERT_EQ(g.data.size(), sizeof(Body));
    Body b;
    std::memcpy(&b, g.data.data(), sizeof b);
    ASSERT_TRUE(b.producer >= 0 && b.producer < spawned[1] && b.n >= 0 && b.n < kPerProducer);
    ++drained[b.producer][b.n];
    if (g.md.BackoutCount > 0) ++backed_out;
  }

  // A consumer killed between its commit and its count leaves its batch in doubt: each of
  // those messages was consumed or is back on the queue, never both.
  std::vector<std::vector<bool>> in_doubt(kMaxSpawned, std::vector<bool>(kPerProducer, false));
  for (const Pending& p : shared.pending)
    if (p.in_doubt)
      for (int i = 0; i < p.count; ++i) in_doubt[p.ids[i][0]][p.ids[i][1]] = true;

  int delivered = 0, lost = 0, duplicated = 0, uncommitted_seen = 0, in_doubt_puts = 0;
  for (int p = 0; p < spawned[1]; ++p) {
    const int committed = shared.committed[p];
    const int attempted = shared.attempted[p];
    for (int n = 0; n < kPerProducer; ++n) {
      const int seen = shared.consumed[p][n] + drained[p][n];
      delivered += seen;
      if (seen > 1) ++duplicated;
      if (n < committed) {
        if (seen == 0 && !in_doubt[p][n]) ++lost;
      } else if (n < attempted) {
        ++in_doubt_puts;  // killed while its commit was on the way: once or not at all
      } else if (seen) {
        ++uncommitted_seen;
      }
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(duplicated, 0);
  EXPECT_EQ(uncommitted_seen, 0);
  EXPECT_GT(delivered, 1000);
  if (holding_kills > 0) {
    EXPECT_GT(backed_out, 0);
  }
  RecordProperty("delivered", delivered);
  RecordProperty("kills", kills[0] + kills[1]);
  std::printf("delivered %d messages; killed %d producers and %d consumers (%d holding gets); "
              "%d messages came back with BackoutCount raised; %d puts in doubt\n",
              delivered, kills[1], kills[0], holding_kills, backed_out, in_doubt_puts);
  munmap(memory, sizeof(Shared));
}
