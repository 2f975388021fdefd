// The serve mode's probes: one thread per target holding its connection, the metrics of a
// probe and of the process, and the landing page.
#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "ping_figures.h"
#include "ping_serve.h"
#include "vrqping.h"

namespace {

constexpr const char* kPingPrefix = "PING";
constexpr int kCapacity = 512;
// MsgId bytes: the sequence number (as the one-shot run stamps it), then the number of
// the probe, so that a late answer to an earlier probe is told apart and dropped.
constexpr size_t kSequenceAt = 0;
constexpr size_t kProbeAt = 4;
constexpr size_t kMsStampAt = 0;
constexpr size_t kUsStampAt = 8;

int64_t EpochMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Failures after which the connection is not worth keeping: everything but a put the
// queue refused and answers that did not come in time.
bool KeepsConnection(int reason) {
  return reason == MQRC_NONE || reason == MQRC_NO_MSG_AVAILABLE || reason == MQRC_PUT_INHIBITED ||
         reason == MQRC_Q_FULL || reason == MQRC_MSG_TOO_BIG_FOR_Q;
}

void CopyField(char* field, size_t width, std::string_view value) {
  std::memset(field, ' ', width);
  std::memcpy(field, value.data(), std::min(width, value.size()));
}

std::string Html(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A query parameter value with everything but unreserved characters percent-encoded.
std::string UrlEncoded(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += hex[u >> 4];
      out += hex[u & 15];
    }
  }
  return out;
}

std::string FailureLabel(const ProbeResult& r) {
  return r.timedOut && r.reason == 0 ? std::string("DEADLINE_EXCEEDED") : ReasonName(r.reason);
}

// One connection and the messages of a target's probes; used only by its thread.
class Connection {
 public:
  explicit Connection(const ServeTarget& target) : target_(target) {}
  ~Connection() { Close(); }
  bool open() const { return manager_ != nullptr; }

  // MQCONNX first (with the client channel when the target has one), so that the manager
  // object's own MQCONN finds the thread's connection and takes it.
  int Open() {
    MQCNO cno = {MQCNO_DEFAULT};
    MQCD cd = {MQCD_CLIENT_CONN_DEFAULT};
    if (!target_.mqserver.empty()) {
      std::string_view s = target_.mqserver;
      size_t a = s.find('/'), b = s.find('/', a + 1);
      CopyField(cd.ChannelName, sizeof cd.ChannelName, s.substr(0, a));
      CopyField(cd.ConnectionName, sizeof cd.ConnectionName, s.substr(b + 1));
      cd.TransportType = MQXPT_TCP;
      cno.Version = MQCNO_VERSION_2;
      cno.ClientConnPtr = &cd;
      cno.Options |= MQCNO_CLIENT_BINDING;
    }
    // A user id and password go in an MQCSP; the connection is the thread's, so the manager
    // object's own connect below takes it as it is.
    MQCSP csp = {MQCSP_DEFAULT};
    if (target_.login) {
      csp.AuthenticationType = MQCSP_AUTH_USER_ID_AND_PWD;
      csp.CSPUserIdPtr = const_cast<char*>(target_.login->user.c_str());
      csp.CSPUserIdLength = static_cast<MQLONG>(target_.login->user.size());
      csp.CSPPasswordPtr = const_cast<char*>(target_.login->password.data());
      csp.CSPPasswordLength = static_cast<MQLONG>(target_.login->password.size());
      cno.SecurityParmsPtr = &csp;
      if (cno.Version < MQCNO_VERSION_5) cno.Version = MQCNO_VERSION_5;
    }
    MQCHAR name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
    std::memcpy(name, target_.qmgr.data(), std::min<size_t>(target_.qmgr.size(), MQ_Q_MGR_NAME_LENGTH));
    MQLONG cc = MQCC_FAILED, rc = MQRC_NONE;
    MQCONNX(name, &cno, &hconn_, &cc, &rc);
    if (cc == MQCC_FAILED) {
      hconn_ = MQHC_UNUSABLE_HCONN;
      return rc;
    }
    manager_ = CreateDMQManager(target_.qmgr.c_str(), target_.queue.c_str(), kPingPrefix, kPingPrefix);
    if (!manager_) {
      Close();
      return MQRC_STORAGE_NOT_AVAILABLE;
    }
    if (manager_->lReason == MQRC_NONE) qmOpen(manager_, "");
    int reason = manager_->lReason;
    ping_ = CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, kCapacity);
    reply_ = CreatePcfMessage(0, MQCFT_RESPONSE, kCapacity);
    if (reason == MQRC_NONE && (!ping_ || !reply_)) reason = MQRC_STORAGE_NOT_AVAILABLE;
    if (reason != MQRC_NONE) {
      Close();
      return reason;
    }
    PadPing(ping_, target_.size);
    MQMD& md = ping_->PcfMsg.MsgDesc;
    md.Report = MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID | MQRO_DISCARD_MSG;
    return MQRC_NONE;
  }

  void Close() {
    if (ping_) DeletePcfMessage(ping_);
    if (reply_) DeletePcfMessage(reply_);
    if (manager_) DeleteMQManager(manager_);
    ping_ = reply_ = nullptr;
    manager_ = nullptr;
    if (hconn_ != MQHC_UNUSABLE_HCONN) {
      MQLONG cc = 0, rc = 0;
      MQDISC(&hconn_, &cc, &rc);
      hconn_ = MQHC_UNUSABLE_HCONN;
    }
  }

  // One probe: the batch put, then its answers read until the deadline (monotonic us).
  void Ping(uint64_t probe, int64_t deadlineUs, ProbeResult* r) {
    MQManager* m = manager_;
    m->lReason = MQRC_NONE;
    MDHDR* hdr = ping_->PcfMsg.pMdHdr;
    // Pings that outlive the probe expire rather than wait on the command queue.
    int64_t leftUs = deadlineUs - MonotonicMicros();
    ping_->PcfMsg.MsgDesc.Expiry = static_cast<MQLONG>(std::clamp<int64_t>(leftUs / 100000 + 1, 1, 999999999));
    for (int32_t i = 0; i < target_.batch; ++i) {
      int32_t sequence = i + 1;
      int64_t ms = curUtcTimeMsec(), us = MonotonicMicros();
      std::memset(hdr->MsgId, 0, sizeof hdr->MsgId);
      std::memset(hdr->CorrelId, 0, sizeof hdr->CorrelId);
      std::memcpy(hdr->MsgId + kSequenceAt, &sequence, sizeof sequence);
      std::memcpy(hdr->MsgId + kProbeAt, &probe, sizeof probe);
      std::memcpy(hdr->CorrelId + kMsStampAt, &ms, sizeof ms);
      std::memcpy(hdr->CorrelId + kUsStampAt, &us, sizeof us);
      if (!qmWrite(&ping_->PcfMsg, m)) {
        r->reason = m->lReason;
        break;
      }
      ++r->sent;
    }
    while (r->answered < r->sent) {
      int64_t left = (deadlineUs - MonotonicMicros()) / 1000;
      if (left <= 0) {
        r->reason = MQRC_NO_MSG_AVAILABLE;
        break;
      }
      int32_t wait = static_cast<int32_t>(std::min<int64_t>(left, target_.waitMs > 0 ? target_.waitMs : left));
      ResetPcfMessage(reply_, 0, MQCFT_RESPONSE);
      if (!qmRead(&reply_->PcfMsg, wait, m)) {
        if (m->lReason != MQRC_NO_MSG_AVAILABLE || target_.waitMs > 0) {
          r->reason = m->lReason;
          break;
        }
        continue;
      }
      int64_t now = MonotonicMicros();
      const MDHDR* in = reply_->PcfMsg.pMdHdr;
      uint64_t of = 0;
      int64_t sentUs = 0;
      std::memcpy(&of, in->MsgId + kProbeAt, sizeof of);
      std::memcpy(&sentUs, in->CorrelId + kUsStampAt, sizeof sentUs);
      if (of != probe || reply_->PcfMsg.MsgDesc.MsgType == MQMT_REPORT) continue;
      ++r->answered;
      r->Record(now - sentUs);
    }
    if (r->reason == MQRC_NONE && r->sent < target_.batch) r->reason = MQRC_UNEXPECTED_ERROR;
  }

 private:
  const ServeTarget& target_;
  MQHCONN hconn_ = MQHC_UNUSABLE_HCONN;
  MQManager* manager_ = nullptr;
  PcfMessage* ping_ = nullptr;
  PcfMessage* reply_ = nullptr;
};

}  // namespace

void ProbeResult::Record(int64_t roundTripUs) {
  if (roundTripUs < 0) roundTripUs = 0;
  double seconds = static_cast<double>(roundTripUs) / 1e6;
  size_t i = 0;
  while (i < kRoundTripBuckets.size() && seconds > kRoundTripBuckets[i]) ++i;
  ++buckets[i];
  ++count;
  sumUs += roundTripUs;
  sumSeconds = static_cast<double>(sumUs) / 1e6;
}

std::string FormatProbeMetrics(const ServeTarget& target, const ProbeResult& r) {
  (void)target;
  std::string t;
  auto family = [&](const char* name, const char* type, const char* help) {
    t += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  };
  family("vrqmq_probe_success", "gauge", "1 when every ping of the probe was answered within its deadline.");
  t += "vrqmq_probe_success " + std::string(r.success ? "1" : "0") + "\n";
  family("vrqmq_probe_duration_seconds", "gauge", "Time the probe took.");
  t += "vrqmq_probe_duration_seconds " + PromValue(r.durationSeconds) + "\n";
  family("vrqmq_probe_round_trip_seconds", "histogram", "Round trips of the probe's pings to their responses.");
  uint64_t cumulative = 0;
  for (size_t i = 0; i < kRoundTripBuckets.size(); ++i) {
    cumulative += r.buckets[i];
    t += "vrqmq_probe_round_trip_seconds_bucket{le=\"" + PromValue(kRoundTripBuckets[i]) + "\"} " +
         std::to_string(cumulative) + "\n";
  }
  t += "vrqmq_probe_round_trip_seconds_bucket{le=\"+Inf\"} " + std::to_string(r.count) + "\n";
  t += "vrqmq_probe_round_trip_seconds_sum " + PromValue(r.sumSeconds) + "\n";
  t += "vrqmq_probe_round_trip_seconds_count " + std::to_string(r.count) + "\n";
  family("vrqmq_probe_pings_sent", "gauge", "Pings the probe put.");
  t += "vrqmq_probe_pings_sent " + std::to_string(r.sent) + "\n";
  family("vrqmq_probe_pings_answered", "gauge", "Pings of the probe answered by the command server.");
  t += "vrqmq_probe_pings_answered " + std::to_string(r.answered) + "\n";
  if (!r.success) {
    family("vrqmq_probe_failure_info", "gauge", "Why the probe failed: the MQ reason (or DEADLINE_EXCEEDED) and its code.");
    t += "vrqmq_probe_failure_info{reason=\"" + PromLabel(FailureLabel(r)) + "\",code=\"" +
         std::to_string(r.reason) + "\"} 1\n";
  }
  return t;
}

// ---------------------------------------------------------------- TargetProber ----

struct TargetProber::Shared {
  explicit Shared(ServeTarget t) : target(std::move(t)) {}
  const ServeTarget target;
  mutable std::mutex mutex;
  std::condition_variable wake;  // the thread: a probe is asked for, or the end
  std::condition_variable done;  // the callers: a probe has ended
  bool stop = false, exited = false;
  uint64_t asked = 0, finished = 0;
  int64_t deadlineUs = 0;
  ProbeResult result;
  // Figures of the calls of Probe().
  uint64_t probes = 0, failures = 0, reconnects = 0;
  double durationSeconds = 0;
  bool connected = false, haveLast = false;
  ProbeResult last;
};

namespace {

void ProberThread(std::shared_ptr<TargetProber::Shared> s);

}  // namespace

TargetProber::TargetProber(ServeTarget target)
    : target_(target), shared_(std::make_shared<Shared>(std::move(target))) {
  thread_ = std::thread([s = shared_] { ProberThread(s); });
}

TargetProber::~TargetProber() { Stop(std::chrono::steady_clock::now() + std::chrono::seconds(5)); }

void TargetProber::Tell() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->wake.notify_all();
}

void TargetProber::Stop(std::chrono::steady_clock::time_point until) {
  if (!thread_.joinable()) return;
  Tell();
  // A thread held in an MQI call by a queue manager that does not answer is not waited
  // for past until: it keeps the shared state alive by itself and ends when the call does
  // (or with the process).
  std::unique_lock<std::mutex> lock(shared_->mutex);
  if (shared_->done.wait_until(lock, until, [&] { return shared_->exited; })) {
    lock.unlock();
    thread_.join();
  } else {
    lock.unlock();
    thread_.detach();
  }
}

ProbeResult TargetProber::Probe(int32_t deadlineMs) {
  int32_t ms = target_.deadlineMs;
  if (deadlineMs > 0 && deadlineMs < ms) ms = deadlineMs;
  const int64_t startUs = MonotonicMicros();
  const int64_t deadlineUs = startUs + int64_t{ms} * 1000;
  ProbeResult r;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  uint64_t mine = ++shared_->asked;
  // The thread stops reading a little before the caller stops waiting, so that a target
  // that does not answer in time is reported with its own reason.
  shared_->deadlineUs = deadlineUs - std::clamp<int64_t>(int64_t{ms} * 100, 20000, 200000);
  shared_->wake.notify_one();
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  if (shared_->done.wait_until(lock, until, [&] { return shared_->finished >= mine; })) {
    r = shared_->result;
  } else {
    r.timedOut = true;
  }
  r.durationSeconds = static_cast<double>(MonotonicMicros() - startUs) / 1e6;
  r.endEpochMs = EpochMs();
  ++shared_->probes;
  if (!r.success) ++shared_->failures;
  shared_->durationSeconds += r.durationSeconds;
  shared_->last = r;
  shared_->haveLast = true;
  return r;
}

TargetProber::Counters TargetProber::Snapshot() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  const Shared& s = *shared_;
  return {s.probes, s.failures, s.reconnects, s.durationSeconds, s.connected, s.haveLast, s.last};
}

namespace {

void ProbeLoop(TargetProber::Shared* s) {
  Connection connection(s->target);
  bool everConnected = false;
  std::unique_lock<std::mutex> lock(s->mutex);
  for (;;) {
    s->wake.wait(lock, [&] { return s->stop || s->asked > s->finished; });
    if (s->stop) break;
    const uint64_t probe = s->asked;
    const int64_t deadlineUs = s->deadlineUs;
    lock.unlock();

    ProbeResult r;
    const int64_t startUs = MonotonicMicros();
    bool reconnected = false;
    if (deadlineUs <= startUs) {
      r.timedOut = true;  // asked for while a probe before it was held up: too late now
    } else {
      if (!connection.open()) {
        r.reason = connection.Open();
        reconnected = r.reason == MQRC_NONE && everConnected;
        everConnected = everConnected || r.reason == MQRC_NONE;
      }
      if (connection.open()) {
        connection.Ping(probe, deadlineUs, &r);
        if (!KeepsConnection(r.reason)) connection.Close();
      }
      r.timedOut = r.reason == MQRC_NO_MSG_AVAILABLE;
      r.success = r.reason == MQRC_NONE && r.sent == s->target.batch && r.answered == r.sent;
    }
    r.durationSeconds = static_cast<double>(MonotonicMicros() - startUs) / 1e6;

    lock.lock();
    s->result = r;
    s->finished = probe;
    s->connected = connection.open();
    if (reconnected) ++s->reconnects;
    s->done.notify_all();
  }
}

void ProberThread(std::shared_ptr<TargetProber::Shared> s) {
  ProbeLoop(s.get());  // the connection is closed on the way out
  std::lock_guard<std::mutex> lock(s->mutex);
  s->exited = true;
  s->done.notify_all();
}

}  // namespace

// ---------------------------------------------------------------- ProbeService ----

ProbeService::ProbeService(std::vector<ServeTarget> targets, int maxConcurrent) : maxConcurrent_(maxConcurrent) {
  probers_.reserve(targets.size());
  for (auto& t : targets) probers_.push_back(std::make_unique<TargetProber>(std::move(t)));
}

ProbeService::~ProbeService() {
  {
    std::lock_guard<std::mutex> lock(scheduleMutex_);
    stopping_ = true;
  }
  scheduleWake_.notify_all();
  if (schedule_.joinable()) schedule_.join();
  // Every thread is told first, so that threads held by hung queue managers share one
  // grace period rather than one each.
  for (auto& p : probers_) p->Tell();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (auto& p : probers_) p->Stop(until);
}

TargetProber* ProbeService::Find(std::string_view name) const {
  for (const auto& p : probers_)
    if (p->target().name == name) return p.get();
  return nullptr;
}

ProbeService::Outcome ProbeService::Probe(std::string_view name, int32_t deadlineMs, std::string* body) {
  TargetProber* prober = Find(name);
  if (!prober) return Outcome::kUnknownTarget;
  if (running_.fetch_add(1) >= maxConcurrent_) {
    running_.fetch_sub(1);
    refused_.fetch_add(1);
    return Outcome::kBusy;
  }
  ProbeResult r = prober->Probe(deadlineMs);
  running_.fetch_sub(1);
  *body = FormatProbeMetrics(prober->target(), r);
  return Outcome::kOk;
}

std::string ProbeService::Metrics() const {
  std::string t;
  auto family = [&](const char* name, const char* type, const char* help) {
    t += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  };
  std::vector<TargetProber::Counters> c;
  for (const auto& p : probers_) c.push_back(p->Snapshot());
  auto each = [&](const char* name, const char* type, const char* help, auto value) {
    family(name, type, help);
    for (size_t i = 0; i < probers_.size(); ++i)
      t += std::string(name) + "{target=\"" + PromLabel(probers_[i]->target().name) + "\"} " + PromValue(value(c[i])) + "\n";
  };
  family("vrqmq_serve_targets", "gauge", "Targets in the targets file.");
  t += "vrqmq_serve_targets " + std::to_string(probers_.size()) + "\n";
  family("vrqmq_serve_probes_in_flight", "gauge", "Probes running now.");
  t += "vrqmq_serve_probes_in_flight " + std::to_string(running_.load()) + "\n";
  family("vrqmq_serve_probes_refused_total", "counter", "Probes refused because too many were running.");
  t += "vrqmq_serve_probes_refused_total " + std::to_string(refused_.load()) + "\n";
  size_t open = 0;
  for (const auto& x : c) open += x.connected ? 1 : 0;
  family("vrqmq_serve_connections_open", "gauge", "Connections to queue managers held now.");
  t += "vrqmq_serve_connections_open " + std::to_string(open) + "\n";
  using C = TargetProber::Counters;
  each("vrqmq_serve_probes_total", "counter", "Probes of the target.", [](const C& x) { return double(x.probes); });
  each("vrqmq_serve_probe_failures_total", "counter", "Failed probes of the target.",
       [](const C& x) { return double(x.failures); });
  each("vrqmq_serve_probe_duration_seconds_total", "counter", "Time spent probing the target.",
       [](const C& x) { return x.durationSeconds; });
  each("vrqmq_serve_reconnects_total", "counter", "Connections to the target made again after one was lost.",
       [](const C& x) { return double(x.reconnects); });
  each("vrqmq_serve_connected", "gauge", "1 while a connection to the target is held.",
       [](const C& x) { return x.connected ? 1.0 : 0.0; });
  family("vrqmq_last_probe_success", "gauge", "Result of the target's last probe (absent before the first).");
  for (size_t i = 0; i < probers_.size(); ++i)
    if (c[i].haveLast)
      t += "vrqmq_last_probe_success{target=\"" + PromLabel(probers_[i]->target().name) + "\"} " +
           (c[i].last.success ? "1" : "0") + "\n";
  family("vrqmq_last_probe_duration_seconds", "gauge", "Duration of the target's last probe.");
  for (size_t i = 0; i < probers_.size(); ++i)
    if (c[i].haveLast)
      t += "vrqmq_last_probe_duration_seconds{target=\"" + PromLabel(probers_[i]->target().name) + "\"} " +
           PromValue(c[i].last.durationSeconds) + "\n";
  family("vrqmq_last_probe_round_trip_seconds", "gauge", "Mean round trip of the target's last probe.");
  for (size_t i = 0; i < probers_.size(); ++i)
    if (c[i].haveLast && c[i].last.count)
      t += "vrqmq_last_probe_round_trip_seconds{target=\"" + PromLabel(probers_[i]->target().name) + "\"} " +
           PromValue(c[i].last.sumSeconds / static_cast<double>(c[i].last.count)) + "\n";
  family("vrqmq_last_probe_timestamp_seconds", "gauge", "End of the target's last probe, seconds since 1970 UTC.");
  for (size_t i = 0; i < probers_.size(); ++i)
    if (c[i].haveLast)
      t += "vrqmq_last_probe_timestamp_seconds{target=\"" + PromLabel(probers_[i]->target().name) + "\"} " +
           PromValue(static_cast<double>(c[i].last.endEpochMs) / 1000.0) + "\n";
  return t;
}

std::string ProbeService::LandingPage() const {
  std::string h =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>vrqmq probe</title></head><body>\n"
      "<h1>vrqmq probe</h1>\n<p><a href=\"/metrics\">Metrics</a></p>\n"
      "<table border=\"1\">\n<tr><th>Target</th><th>Queue manager</th><th>Connection</th><th>Last result</th>"
      "<th>Duration (s)</th><th>Probe</th></tr>\n";
  for (const auto& p : probers_) {
    const ServeTarget& t = p->target();
    auto c = p->Snapshot();
    std::string result = !c.haveLast ? "not probed yet" : c.last.success ? "success" : "failed: " + FailureLabel(c.last);
    h += "<tr><td>" + Html(t.name) + "</td><td>" + Html(t.qmgr) + "</td><td>" +
         Html(t.mqserver.empty() ? "local bindings" : t.mqserver) + "</td><td>" + Html(result) + "</td><td>" +
         (c.haveLast ? PromValue(c.last.durationSeconds) : "") + "</td><td><a href=\"/probe?target=" + UrlEncoded(t.name) +
         "\">probe</a></td></tr>\n";
  }
  h += "</table>\n</body></html>\n";
  return h;
}

void ProbeService::StartSchedule(int seconds) {
  if (seconds <= 0 || schedule_.joinable()) return;
  schedule_ = std::thread([this, seconds] {
    std::unique_lock<std::mutex> lock(scheduleMutex_);
    while (!stopping_) {
      lock.unlock();
      std::vector<std::thread> round;
      for (auto& p : probers_) round.emplace_back([&p] { p->Probe(); });
      for (auto& t : round) t.join();
      lock.lock();
      scheduleWake_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping_; });
    }
  });
}
