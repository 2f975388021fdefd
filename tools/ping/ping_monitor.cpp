// The run's monitoring state: the -o option, the stop signals, reads and pauses that a
// stop cuts short, the distribution and summary lines, and the hand-over of each cycle
// to the JSON and Prometheus outputs.
#include "ping_monitor.h"

#include <cmqc.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr std::string_view kJson = "json";
constexpr std::string_view kPrometheus = "prometheus";
constexpr int32_t kReadSliceMs = 200;

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
  stopSignal = signal;
  // A second signal of the same kind ends the program at once.
  std::signal(signal, SIG_DFL);
}

int64_t NowEpochMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

struct ReasonRow {
  int reason;
  const char* name;
};
#define VRQ_RC(name) {name, #name}
constexpr ReasonRow kReasons[] = {
    VRQ_RC(MQRC_NONE),
    VRQ_RC(MQRC_CALL_IN_PROGRESS),
    VRQ_RC(MQRC_CHANNEL_CONFIG_ERROR),
    VRQ_RC(MQRC_CLIENT_CONN_ERROR),
    VRQ_RC(MQRC_CONNECTION_BROKEN),
    VRQ_RC(MQRC_CONNECTION_QUIESCING),
    VRQ_RC(MQRC_CONNECTION_STOPPING),
    VRQ_RC(MQRC_ENVIRONMENT_ERROR),
    VRQ_RC(MQRC_EXPIRY_ERROR),
    VRQ_RC(MQRC_GET_INHIBITED),
    VRQ_RC(MQRC_HCONN_ERROR),
    VRQ_RC(MQRC_HOBJ_ERROR),
    VRQ_RC(MQRC_HOST_NOT_AVAILABLE),
    VRQ_RC(MQRC_MAX_CONNS_LIMIT_REACHED),
    VRQ_RC(MQRC_MSG_TOO_BIG_FOR_Q),
    VRQ_RC(MQRC_NO_MSG_AVAILABLE),
    VRQ_RC(MQRC_NOT_AUTHORIZED),
    VRQ_RC(MQRC_NOT_CONNECTED),
    VRQ_RC(MQRC_NOT_OPEN_FOR_INPUT),
    VRQ_RC(MQRC_NOT_OPEN_FOR_OUTPUT),
    VRQ_RC(MQRC_OBJECT_IN_USE),
    VRQ_RC(MQRC_PERSISTENT_NOT_ALLOWED),
    VRQ_RC(MQRC_PUT_INHIBITED),
    VRQ_RC(MQRC_Q_DELETED),
    VRQ_RC(MQRC_Q_FULL),
    VRQ_RC(MQRC_Q_MGR_NAME_ERROR),
    VRQ_RC(MQRC_Q_MGR_NOT_ACTIVE),
    VRQ_RC(MQRC_Q_MGR_NOT_AVAILABLE),
    VRQ_RC(MQRC_Q_MGR_QUIESCING),
    VRQ_RC(MQRC_Q_MGR_STOPPING),
    VRQ_RC(MQRC_SECURITY_ERROR),
    VRQ_RC(MQRC_SELECTOR_ERROR),
    VRQ_RC(MQRC_STORAGE_NOT_AVAILABLE),
    VRQ_RC(MQRC_TRUNCATED_MSG_FAILED),
    VRQ_RC(MQRC_UNEXPECTED_ERROR),
    VRQ_RC(MQRC_UNKNOWN_ALIAS_BASE_Q),
    VRQ_RC(MQRC_UNKNOWN_CHANNEL_NAME),
    VRQ_RC(MQRC_UNKNOWN_OBJECT_NAME),
    VRQ_RC(MQRC_UNKNOWN_REMOTE_Q_MGR),
    {kRcNoManager, "VRQ_NO_MANAGER"},
};
#undef VRQ_RC

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buf[512];
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

double Seconds(int64_t ms) { return static_cast<double>(ms) / 1000.0; }

}  // namespace

bool ParseOutputOption(PingArgs* args, std::string_view value) {
  int32_t bit = 0;
  std::string_view file;
  if (value == kJson) {
    bit = kOutputJson;
  } else if (value.substr(0, kPrometheus.size()) == kPrometheus) {
    std::string_view rest = value.substr(kPrometheus.size());
    if (!rest.empty()) {
      if (rest[0] != ':' || rest.size() == 1 || rest.size() > sizeof args->szPromFile) return false;
      file = rest.substr(1);
    }
    bit = kOutputPrometheus;
  } else {
    return false;
  }
  if (args->lOutputs & bit) return false;
  if (bit == kOutputPrometheus) {
    if (!file.empty()) std::memcpy(args->szPromFile, file.data(), file.size());
    args->szPromFile[file.size()] = '\0';
  }
  args->lOutputs |= bit;
  // Two formats on one stream would be of no use to a reader of either.
  return !((args->lOutputs & kOutputJson) && (args->lOutputs & kOutputPrometheus) && !args->szPromFile[0]);
}

LatencySummary Summarize(const LatencyHistogram& h) {
  return {h.Count(),
          h.ValueAtPercentile(50),
          h.ValueAtPercentile(90),
          h.ValueAtPercentile(99),
          h.ValueAtPercentile(99.9),
          h.Max(),
          h.Sum(),
          h.Mean(),
          h.StdDev()};
}

void AddToTotals(PingRunTotals* t, const PingCycleFigures& f) {
  const PingStats& s = f.stats;
  ++t->cycles;
  t->sent += s.lMsgsSent;
  t->received += s.lMsgsReceived;
  t->responses += s.lMsgsReceived - s.lReportsReceived;
  t->reports += s.lReportsReceived;
  t->expiries += s.lConfirmedExpiries;
  t->deliveries += s.lConfirmedDeliveries;
  t->arrivals += s.lConfirmedArrivals;
  t->exceptions += s.lOtherReports;
  t->bytesSent += s.lBytesSent;
  t->bytesReceived += s.lBytesReceived;
  t->roundTrips += f.latency.count;
  t->roundTripSeconds += f.latency.sum / 1000.0;
}

const char* ReasonName(int reason) {
  for (const auto& row : kReasons)
    if (row.reason == reason) return row.name;
  return "UNKNOWN";
}

std::string FormatLatencyLines(const LatencySummary& l) {
  std::string out = Printf("\nRound Trip Distribution (%lld responses) :\n", static_cast<long long>(l.count));
  out += Printf("\tROUND_TRIP_P50           (%0.4f sec/msg)\n", Seconds(l.p50));
  out += Printf("\tROUND_TRIP_P90           (%0.4f sec/msg)\n", Seconds(l.p90));
  out += Printf("\tROUND_TRIP_P99           (%0.4f sec/msg)\n", Seconds(l.p99));
  out += Printf("\tROUND_TRIP_P99_9         (%0.4f sec/msg)\n", Seconds(l.p999));
  out += Printf("\tROUND_TRIP_MAX           (%0.4f sec/msg)\n", Seconds(l.max));
  out += Printf("\tROUND_TRIP_MEAN          (%0.4f sec/msg)\n", l.mean / 1000.0);
  out += Printf("\tROUND_TRIP_STDDEV        (%0.4f sec)\n", l.stddev / 1000.0);
  return out;
}

std::string FormatSummaryLine(const PingCycleFigures& f) {
  return Printf("%s(%s): SENT(%d) RECEIVED(%d) P50(%0.4f sec) P99(%0.4f sec) MAX(%0.4f sec) RC(%d)\n",
                f.qmgr.c_str(), f.queue.c_str(), f.stats.lMsgsSent, f.stats.lMsgsReceived,
                Seconds(f.latency.p50), Seconds(f.latency.p99), Seconds(f.latency.max), f.reason);
}

int PingStopSignal() { return stopSignal; }

void PingPause(int seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!stopSignal && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

int PingRead(MESSAGE* message, int32_t wait, MQManager* manager) {
  if (manager == nullptr || (wait >= 0 && wait <= kReadSliceMs)) return qmRead(message, wait, manager);
  int32_t left = wait;  // MQWI_UNLIMITED (-1) stays below 0: slices until a message or a stop
  for (;;) {
    int32_t slice = left < 0 ? kReadSliceMs : std::min(left, kReadSliceMs);
    if (qmRead(message, slice, manager)) return 1;
    if (manager->lReason != MQRC_NO_MSG_AVAILABLE || stopSignal) return 0;
    if (left >= 0) {
      left -= slice;
      if (left <= 0) return 0;
    }
  }
}

PingMonitor::PingMonitor() = default;

PingMonitor::~PingMonitor() {
  if (machineOut_) std::fclose(machineOut_);
}

void PingMonitor::Start(int argc, char** argv) {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  // The command line is parsed after the banner is printed; the -o options are looked at
  // first so that a machine reader's output starts clean.
  PingArgs scratch{};
  bool toStdout = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] ? argv[i] : "";
    if (arg.substr(0, 2) == "-o" && ParseOutputOption(&scratch, arg.substr(2))) toStdout = true;
  }
  toStdout = toStdout && ((scratch.lOutputs & kOutputJson) || !scratch.szPromFile[0]);
  if (!toStdout) return;
  std::fflush(stdout);
#if defined(_WIN32)
  int kept = _dup(1);
  if (kept < 0) return;
  machineOut_ = _fdopen(kept, "w");
  if (machineOut_) _dup2(2, 1);
#else
  int kept = dup(1);
  if (kept < 0) return;
  machineOut_ = fdopen(kept, "w");
  if (machineOut_) dup2(2, 1);
#endif
}

void PingMonitor::BeginCycle() {
  latency_.Reset();
  cycleStartMs_ = NowEpochMs();
}

PingCycleFigures PingMonitor::Figures(const PingArgs& args, const PingStats& stats, int reason) const {
  return {args.szQMgrName, args.szQueueName, stats, ping_indicators(stats), Summarize(latency_),
          reason, cycleStartMs_, NowEpochMs()};
}

void PingMonitor::PrintAfterReport(const PingArgs& args, const PingStats& stats, int reason) {
  if (args.lInterval <= 0) {
    if (args.lVerbose >= 1) std::fputs(FormatLatencyLines(Summarize(latency_)).c_str(), stdout);
  } else if (args.lOutputs == 0) {
    std::fputs(FormatSummaryLine(Figures(args, stats, reason)).c_str(), stdout);
  }
  std::fflush(stdout);
}

void PingMonitor::EndCycle(const PingArgs& args, const PingStats& stats, int reason) {
  if (args.lOutputs == 0) return;
  PingCycleFigures figures = Figures(args, stats, reason);
  AddToTotals(&totals_, figures);
  std::FILE* out = machineOut_ ? machineOut_ : stdout;
  if (args.lOutputs & kOutputJson) std::fputs(FormatCycleJson(figures).c_str(), out);
  if (args.lOutputs & kOutputPrometheus) {
    std::string text = FormatPrometheus(figures, totals_);
    if (!args.szPromFile[0])
      std::fputs(text.c_str(), out);
    else if (!WriteFileAtomically(args.szPromFile, text))
      std::fprintf(stderr, "ERROR: Unable to write %s: %s\n", args.szPromFile, std::strerror(errno));
  }
  std::fflush(out);
}

int PingMonitor::ExitStatus(int lastReason, bool anyCycleEnded) const {
  if (stopSignal && !anyCycleEnded) return 128 + stopSignal;
  return lastReason;
}
