// Exactly once across crashes: producers and consumers under syncpoint with persistent
// messages, and vrrpl answering persistent requests, while the queue manager is killed
// with SIGKILL again and again (some kills while a commit is in progress) and restarted.
// Afterwards every committed message has been delivered exactly once, none that was never
// committed has been delivered, and every committed request has exactly one reply.
#include "mqi_test.h"

#include <cmqc.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

using namespace mqitest;

namespace {

constexpr int kKills = 24;
constexpr int kProducers = 3;
constexpr int kConsumers = 3;
const std::string kQm = "QM.CRASH";
const std::string kVrrpl = std::string(VRQ_BINARY_DIR) + "/tools/reply/vrrpl";

using Clock = std::chrono::steady_clock;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Id(const MQBYTE24& b) { return std::string(reinterpret_cast<const char*>(b), sizeof b); }

// What the clients saw, by message identity: a commit that returned OK, one whose outcome
// the client cannot know (the connection broke during MQCMIT), one never attempted.
struct Ledger {
  std::mutex mutex;
  std::set<std::string> committed, in_doubt, never;
  std::map<std::string, int> delivered;        // confirmed by a commit that returned OK
  std::set<std::string> delivered_in_doubt;    // consumed by a commit of unknown outcome

  void Produced(const std::vector<std::string>& ids, int outcome) {
    std::lock_guard<std::mutex> lock(mutex);
    auto& to = outcome > 0 ? committed : outcome == 0 ? in_doubt : never;
    to.insert(ids.begin(), ids.end());
  }
  void Consumed(const std::vector<std::string>& ids, bool confirmed) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& id : ids) {
      if (confirmed)
        ++delivered[id];
      else
        delivered_in_doubt.insert(id);
    }
  }
};

struct Figures {
  size_t committed = 0, delivered = 0, lost = 0, duplicated = 0, uncommitted_delivered = 0, in_doubt = 0;
};

// Checks the ledger: a message committed is delivered once (a delivery whose commit
// outcome is unknown counts when nothing else delivered it); one never committed is never
// delivered; one in doubt at most once.
Figures Check(Ledger& l) {
  Figures f;
  f.committed = l.committed.size();
  f.in_doubt = l.in_doubt.size();
  for (const auto& [id, times] : l.delivered) {
    f.delivered += static_cast<size_t>(times);
    if (times > 1) ++f.duplicated;
    if (l.never.count(id) || (!l.committed.count(id) && !l.in_doubt.count(id))) ++f.uncommitted_delivered;
  }
  for (const auto& id : l.committed)
    if (!l.delivered.count(id) && !l.delivered_in_doubt.count(id)) ++f.lost;
  return f;
}

class Connected {
 public:
  Connected(const std::atomic<bool>& stop) : stop_(stop) {}
  ~Connected() { Drop(); }
  // Connects (again) and opens the queue; false when asked to stop first.
  bool Ensure(const std::string& queue, MQLONG options) {
    while (hconn_ == MQHC_UNUSABLE_HCONN) {
      if (stop_) return false;
      MQLONG cc, rc;
      char name[MQ_Q_MGR_NAME_LENGTH] = {};
      std::memcpy(name, kQm.data(), kQm.size());
      MQCONN(name, &hconn_, &cc, &rc);
      if (cc == MQCC_FAILED) {
        hconn_ = MQHC_UNUSABLE_HCONN;
        Sleep(20);
        continue;
      }
      if (Open(hconn_, queue, options, hobj_).cc != MQCC_OK) Drop();
    }
    return true;
  }
  void Drop() {
    if (hconn_ == MQHC_UNUSABLE_HCONN) return;
    MQLONG cc, rc;
    MQDISC(&hconn_, &cc, &rc);
    hconn_ = MQHC_UNUSABLE_HCONN;
  }
  MQHCONN h() const { return hconn_; }
  MQHOBJ q() const { return hobj_; }

 private:
  const std::atomic<bool>& stop_;
  MQHCONN hconn_ = MQHC_UNUSABLE_HCONN;
  MQHOBJ hobj_ = MQHO_UNUSABLE_HOBJ;
};

// Puts batches of 1-4 persistent messages under syncpoint and commits each batch.
// Requests go to REQ for vrrpl, identified by the MsgId the put returns.
void Produce(int id, bool requests, std::atomic<bool>& stop, std::atomic<int>& in_commit, Ledger& ledger) {
  Connected c(stop);
  std::mt19937 rng(static_cast<unsigned>(id));
  for (int seq = 0; !stop && c.Ensure(requests ? "REQ" : "WORK", MQOO_OUTPUT);) {
    std::vector<std::string> batch;
    const int n = 1 + static_cast<int>(rng() % 4);
    bool put_failed = false;
    for (int i = 0; i < n && !put_failed; ++i) {
      MQMD md = {MQMD_DEFAULT};
      md.Persistence = MQPER_PERSISTENT;
      char text[25];
      std::snprintf(text, sizeof text, "P%02d:%010d", id, seq++);
      if (requests) {
        md.MsgType = MQMT_REQUEST;
        std::memcpy(md.ReplyToQ, "REPLY", 5);
      } else {
        std::memcpy(md.CorrelId, text, std::strlen(text));
      }
      put_failed = Put(c.h(), c.q(), md, text, MQPMO_SYNCPOINT).cc != MQCC_OK;
      if (!put_failed) batch.push_back(requests ? Id(md.MsgId) : std::string(text));
    }
    if (put_failed) {
      ledger.Produced(batch, -1);
      c.Drop();
      continue;
    }
    ++in_commit;
    MQLONG cc, rc;
    MQCMIT(c.h(), &cc, &rc);
    --in_commit;
    ledger.Produced(batch, cc == MQCC_OK ? 1 : 0);
    if (cc != MQCC_OK) c.Drop();
  }
}

// Gets batches under syncpoint and commits them; checks that each message's CorrelId
// and data still agree.
void Consume(std::atomic<bool>& stop, std::atomic<int>& in_commit, Ledger& ledger, std::atomic<int>& corrupt) {
  Connected c(stop);
  std::mt19937 rng(99);
  while (!stop && c.Ensure("WORK", MQOO_INPUT_SHARED)) {
    std::vector<std::string> batch;
    const int n = 1 + static_cast<int>(rng() % 4);
    bool broken = false;
    for (int i = 0; i < n; ++i) {
      Got g = Get(c.h(), c.q(), MQGMO_SYNCPOINT | MQGMO_WAIT, 50, 100);
      if (g.r.rc == MQRC_NO_MSG_AVAILABLE) break;
      if (g.r.cc != MQCC_OK) {
        broken = true;
        break;
      }
      if (Field(reinterpret_cast<const char*>(g.md.CorrelId), 24) != g.data || g.md.Persistence != MQPER_PERSISTENT) ++corrupt;
      batch.push_back(g.data);
    }
    if (broken) {
      c.Drop();   // the unit of work is backed out: nothing of it was delivered
      continue;
    }
    if (batch.empty()) continue;
    ++in_commit;
    MQLONG cc, rc;
    MQCMIT(c.h(), &cc, &rc);
    --in_commit;
    ledger.Consumed(batch, cc == MQCC_OK);
    if (cc != MQCC_OK) c.Drop();
  }
}

bool Dead(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t paren = text.rfind(')');
  return paren != std::string::npos && paren + 2 < text.size() && (text[paren + 2] == 'Z' || text[paren + 2] == 'X');
}

}  // namespace

TEST(MqiCrashRecovery, CommittedMessagesDeliveredExactlyOnceAcrossKills) {
  VRQ_SKIP_WITHOUT_STANDIN();
  const bool with_vrrpl = access(kVrrpl.c_str(), X_OK) == 0;
  vrqtest::StandinQm qm(kQm, "DEFINE QLOCAL(WORK) MAXDEPTH(100000)\nDEFINE QLOCAL(REQ) MAXDEPTH(100000)\n"
                             "DEFINE QLOCAL(REPLY) MAXDEPTH(100000)\n");
  ASSERT_TRUE(qm.running());
  const std::string pid_file = qm.dir() + "/" + kQm + "/qm.pid";

  std::atomic<bool> stop_producers{false}, stop_consumers{false}, stop_vrrpl{false};
  std::atomic<int> in_commit{0}, corrupt{0};
  Ledger work, requests;
  std::vector<std::thread> threads;
  for (int p = 0; p < kProducers; ++p)
    threads.emplace_back(Produce, p, false, std::ref(stop_producers), std::ref(in_commit), std::ref(work));
  threads.emplace_back(Produce, 50, true, std::ref(stop_producers), std::ref(in_commit), std::ref(requests));
  std::vector<std::thread> consumers;
  for (int i = 0; i < kConsumers; ++i)
    consumers.emplace_back(Consume, std::ref(stop_consumers), std::ref(in_commit), std::ref(work), std::ref(corrupt));
  // vrrpl runs until the queue manager goes (it ends on 2009) or REQ stays empty for
  // 300 ms, and is started again.
  std::thread responder([&] {
    while (with_vrrpl && !stop_vrrpl) {
      vrqtest::Run({kVrrpl, "REQ", "REPLY", kQm, "300"}, qm.env(), 30000);
      Sleep(10);
    }
  });

  std::mt19937 rng(20261208);
  int kills = 0, inside_commits = 0;
  const auto started = Clock::now();
  for (; kills < kKills; ++kills) {
    Sleep(60 + static_cast<int>(rng() % 200));
    // Every other kill waits for a commit to be in progress.
    if (kills % 2) {
      const auto until = Clock::now() + std::chrono::seconds(2);
      while (in_commit == 0 && Clock::now() < until) std::this_thread::yield();
    }
    const pid_t pid = static_cast<pid_t>(std::atoi(vrqtest::ReadFile(pid_file).c_str()));
    ASSERT_GT(pid, 0);
    if (in_commit > 0) ++inside_commits;
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    for (int i = 0; i < 500 && !Dead(pid); ++i) Sleep(5);
    bool up = false;
    for (int attempt = 0; attempt < 20 && !up; ++attempt) {
      up = qm.Start();
      if (!up) Sleep(50);
    }
    ASSERT_TRUE(up) << "restart " << kills << ": " << vrqtest::ReadFile(qm.dir() + "/" + kQm + "/qm.log");
  }

  // The last start stands: producers stop, consumers and vrrpl empty the queues.
  stop_producers = true;
  for (auto& t : threads) t.join();
  {
    Connection c(kQm);
    const auto until = Clock::now() + std::chrono::seconds(60);
    while ((Depth(c.hconn, "WORK") > 0 || (with_vrrpl && Depth(c.hconn, "REQ") > 0)) && Clock::now() < until) Sleep(20);
    EXPECT_EQ(Depth(c.hconn, "WORK"), 0);
  }
  stop_consumers = true;
  for (auto& t : consumers) t.join();
  stop_vrrpl = true;
  responder.join();

  const Figures f = Check(work);
  EXPECT_EQ(f.lost, 0u);
  EXPECT_EQ(f.duplicated, 0u);
  EXPECT_EQ(f.uncommitted_delivered, 0u);
  EXPECT_EQ(corrupt, 0);
  EXPECT_GT(f.committed, 0u);
  EXPECT_GT(inside_commits, 0);

  // Every committed request has exactly one reply (CorrelId = the request's MsgId), one in
  // doubt at most one, and one never committed none.
  size_t replies = 0, missing = 0, twice = 0, unexpected = 0;
  if (with_vrrpl) {
    std::map<std::string, int> replied;
    Connection c(kQm);
    MQHOBJ q;
    ASSERT_EQ(Open(c.hconn, "REPLY", MQOO_INPUT_SHARED, q).cc, MQCC_OK);
    for (Got g; (g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100)).r.cc == MQCC_OK;) {
      ++replied[Id(g.md.CorrelId)];
      ++replies;
    }
    for (const auto& id : requests.committed) missing += replied.count(id) ? 0 : 1;
    for (const auto& [id, times] : replied) {
      twice += times > 1 ? 1 : 0;
      unexpected += requests.committed.count(id) || requests.in_doubt.count(id) ? 0 : 1;
    }
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(twice, 0u);
    EXPECT_EQ(unexpected, 0u);
    EXPECT_GT(requests.committed.size(), 0u);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  std::printf("crash test: %d kills (%d inside commits) in %.1f s; messages committed %zu, in doubt %zu, "
              "delivered %zu, lost %zu, duplicated %zu, uncommitted delivered %zu; requests committed %zu, "
              "replies %zu, missing %zu, duplicated %zu%s\n",
              kills, inside_commits, seconds, f.committed, f.in_doubt, f.delivered, f.lost, f.duplicated,
              f.uncommitted_delivered, requests.committed.size(), replies, missing, twice,
              with_vrrpl ? "" : " (vrrpl not built: requests not checked)");
}
