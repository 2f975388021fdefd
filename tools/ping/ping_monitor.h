// What vrqmq gives monitoring systems beside its report: the round-trip distribution of
// each cycle, one JSON object per cycle (-ojson), the Prometheus text exposition
// (-oprometheus[:FILE]), a summary line per cycle in a repeating run, and an orderly end
// on SIGINT or SIGTERM with the figures gathered so far.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "ping_histogram.h"
#include "vrqping.h"

// Bits of PingArgs::lOutputs.
inline constexpr int32_t kOutputJson = 1;
inline constexpr int32_t kOutputPrometheus = 2;

// Takes the value of one -o option ("json", "prometheus", "prometheus:FILE"). False for
// an unknown format, an empty or too long file name, a format given twice, or both
// formats on standard output.
bool ParseOutputOption(PingArgs* args, std::string_view value);

// The round-trip distribution of one cycle's responses, in milliseconds.
struct LatencySummary {
  int64_t count;
  int64_t p50, p90, p99, p999, max;
  double sum, mean, stddev;
};
LatencySummary Summarize(const LatencyHistogram& histogram);

// Everything one cycle gives the outputs.
struct PingCycleFigures {
  std::string qmgr, queue;
  PingStats stats;
  PingIndicators indicators;
  LatencySummary latency;
  int reason;
  int64_t startMs, endMs;  // milliseconds since 1970-01-01 UTC
};

// Counts added up over the cycles of the run, for the Prometheus counters.
struct PingRunTotals {
  int64_t cycles;
  int64_t sent, received, responses, reports;
  int64_t expiries, deliveries, arrivals, exceptions;
  int64_t bytesSent, bytesReceived;
  int64_t roundTrips;
  double roundTripSeconds;
};
void AddToTotals(PingRunTotals* totals, const PingCycleFigures& figures);

// The MQRC name of a reason code vrqmq can meet ("MQRC_NO_MSG_AVAILABLE"); "UNKNOWN" for others.
const char* ReasonName(int reason);
// "2026-01-31T23:59:59.123Z".
std::string Rfc3339(int64_t epochMs);

// One cycle as one line of JSON (ended by a newline).
std::string FormatCycleJson(const PingCycleFigures& figures);
// The Prometheus text exposition of the last cycle and the run's totals.
std::string FormatPrometheus(const PingCycleFigures& figures, const PingRunTotals& totals);
// Writes text to path through a temporary file in the same folder renamed over it, so
// that a reader sees the old file or the new one, never a part. False on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& text);

// The distribution lines printed after the report with -v1 or more, and the summary line
// of a repeating run.
std::string FormatLatencyLines(const LatencySummary& latency);
std::string FormatSummaryLine(const PingCycleFigures& figures);

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
  // Records one response's round trip (milliseconds).
  void Record(int64_t roundTrip) { latency_.Record(roundTrip); }
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
