// The run's state beside its report: the -o option, the stop signals, reads and pauses
// that a stop cuts short, the round-trip distribution of each cycle, and the hand-over of
// each cycle to the JSON and Prometheus outputs (their texts come from ping_figures.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "ping_figures.h"
#include "ping_histogram.h"
#include "vrqping.h"

// Bits of PingArgs::lOutputs.
inline constexpr int32_t kOutputJson = 1;
inline constexpr int32_t kOutputPrometheus = 2;

// Takes the value of one -o option ("json", "prometheus", "prometheus:FILE"). False for
// an unknown format, an empty or too long file name, a format given twice, or both
// formats on standard output.
bool ParseOutputOption(PingArgs* args, std::string_view value);

// Writes text to path through a temporary file in the same folder renamed over it, so
// that a reader sees the old file or the new one, never a part. False on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& text);
// A stream on a copy of standard output, whose own descriptor then goes to standard
// error; null (and nothing changed) when that cannot be done.
std::FILE* TakeStandardOutput();

// The signal that asked the run to end (SIGINT or SIGTERM), 0 while none did.
int PingStopSignal();
// Sleeps up to the given seconds, waking early when a stop is asked for.
void PingPause(int seconds);
// qmRead in slices of at most a fifth of a second, so that a stop asked for during a long
// wait ends it; returns as qmRead does once the whole wait has passed without a message.
int PingRead(MESSAGE* message, int32_t wait, MQManager* manager);

// The run's monitoring state, one per process.
class PingMonitor {
 public:
  PingMonitor();
  ~PingMonitor();
  PingMonitor(const PingMonitor&) = delete;
  PingMonitor& operator=(const PingMonitor&) = delete;

  // Installs the SIGINT and SIGTERM handlers. When an -o option of the command line
  // writes to standard output, that output keeps standard output for itself and every
  // other line of the program goes to standard error from here on.
  void Start(int argc, char** argv);
  void BeginCycle();
  // Records one response's round trip (microseconds).
  void Record(int64_t roundTripUs) { latency_.Record(roundTripUs); }
  // Called by the report: prints the distribution lines or the summary line.
  void PrintAfterReport(const PingArgs& args, const PingStats& stats, int reason);
  // Writes the cycle to the outputs chosen with -o.
  void EndCycle(const PingArgs& args, const PingStats& stats, int reason);
  // The process's exit status: the reason of the last cycle that ended, or 128 plus the
  // stop signal when the run was stopped before any did.
  int ExitStatus(int lastReason, bool anyCycleEnded) const;

 private:
  PingCycleFigures Figures(const PingArgs& args, const PingStats& stats, int reason) const;

  LatencyHistogram latency_;
  PingRunTotals totals_{};
  int64_t cycleStartMs_ = 0;
  std::FILE* machineOut_ = nullptr;  // standard output, taken for -ojson or -oprometheus
};
