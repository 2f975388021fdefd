// vrqmq's serve mode: one process that probes many queue managers for a Prometheus
// server. A targets file names them; GET /probe?target=NAME pings one now and answers with
// its metrics, GET /metrics gives the process's own, GET / a page listing the targets.
//
// Each target has a thread of its own that holds the target's connection (and its reply
// queue) between probes and reconnects after a connection-level failure. A probe asks that
// thread to ping and waits at most the target's deadline, so a dead, slow or blocked queue
// manager holds up nothing but its own thread.
//
// Threads and the libraries: every MQManager, PcfMessage and MQI handle is used by the one
// thread that made it (the MQI ties a connection made without a share option to its
// thread). Tracked-memory allocation, LOGMSG and the PCF parser keep no unguarded shared
// state and may be called from any thread; the memory block list and log, the log-file
// redirection and the queue-manager trace hooks are set up before the threads start and
// not changed after.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "password_source.h"
#include "vrqping.h"

// One target of the targets file.
struct ServeTarget {
  std::string name;
  std::string qmgr;
  std::string mqserver;     // CHANNEL/TCP/host(port), empty for local bindings
  std::string queue = "SYSTEM.ADMIN.COMMAND.QUEUE";
  std::string credentials;  // name of a credentials file (relative: from the targets file's folder)
  // The user id and password read from it at start-up; null without credentials.
  std::shared_ptr<const vrq::credentials::Credentials> login;
  int32_t batch = 5;
  int32_t size = 0;
  int32_t waitMs = 0;       // per read; 0: up to the deadline
  int32_t deadlineMs = 5000;
};

// Parses a targets file's text: [NAME] sections with key = value lines ('#' and ';' start
// comments). False with "file:line: reason" for an unknown key, a duplicate name, a value
// out of range, a key outside a section or a file without targets.
bool ParseServeTargets(std::string_view text, const std::string& file, std::vector<ServeTarget>* targets,
                       std::string* error);
// Reads and parses the file; an unreadable file is an error too.
bool LoadServeTargets(const std::string& file, std::vector<ServeTarget>* targets, std::string* error);

// The round-trip histogram's upper bounds, in seconds: 50 us to 10 s.
inline constexpr std::array<double, 18> kRoundTripBuckets = {
    0.00005, 0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
    0.05,    0.1,    0.25,    0.5,    1.0,   2.5,    5.0,   7.5,  10.0};

// What one probe found.
struct ProbeResult {
  bool success = false;
  int reason = 0;           // MQ reason of the failure; 0 on success
  bool timedOut = false;    // the deadline passed before the target's thread answered
  double durationSeconds = 0;
  int64_t sent = 0, answered = 0;
  std::array<uint64_t, kRoundTripBuckets.size() + 1> buckets{};  // per bucket, the last is +Inf
  uint64_t count = 0;
  double sumSeconds = 0;
  int64_t sumUs = 0;
  int64_t endEpochMs = 0;
  void Record(int64_t roundTripUs);
};

// The Prometheus text of one probe.
std::string FormatProbeMetrics(const ServeTarget& target, const ProbeResult& result);

// The thread that probes one target.
class TargetProber {
 public:
  explicit TargetProber(ServeTarget target);
  ~TargetProber();
  TargetProber(const TargetProber&) = delete;
  TargetProber& operator=(const TargetProber&) = delete;

  // Pings the target now; returns within the deadline (deadlineMs > 0 cuts the target's
  // own deadline shorter).
  ProbeResult Probe(int32_t deadlineMs = 0);

  const ServeTarget& target() const { return target_; }
  struct Counters {
    uint64_t probes, failures, reconnects;
    double durationSeconds;
    bool connected, haveLast;
    ProbeResult last;
  };
  Counters Snapshot() const;

  // Asks the thread to end; Stop also waits for it until the time given, and leaves a
  // thread still held in an MQI call to end on its own.
  void Tell();
  void Stop(std::chrono::steady_clock::time_point until);

  struct Shared;  // between the callers and the target's thread (ping_serve.cpp)

 private:

  ServeTarget target_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

// Every target's prober and the process's own figures.
class ProbeService {
 public:
  // maxConcurrent: probes running at once; more are refused (Busy).
  ProbeService(std::vector<ServeTarget> targets, int maxConcurrent);
  ~ProbeService();

  enum class Outcome { kOk, kUnknownTarget, kBusy };
  Outcome Probe(std::string_view name, int32_t deadlineMs, std::string* body);
  std::string Metrics() const;
  std::string LandingPage() const;
  // Probes every target each interval on a thread of its own until destruction.
  void StartSchedule(int seconds);
  size_t size() const { return probers_.size(); }

 private:
  TargetProber* Find(std::string_view name) const;

  std::vector<std::unique_ptr<TargetProber>> probers_;
  int maxConcurrent_;
  std::atomic<int> running_{0};
  std::atomic<uint64_t> refused_{0};
  std::mutex scheduleMutex_;
  std::condition_variable scheduleWake_;
  bool stopping_ = false;
  std::thread schedule_;
};
