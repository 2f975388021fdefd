// The run's monitoring state: the -o option, the stop signals, reads and pauses that a
// stop cuts short, and the hand-over of each cycle to the outputs.
#include "ping_monitor.h"

#include <cmqc.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

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
  machineOut_ = TakeStandardOutput();
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
