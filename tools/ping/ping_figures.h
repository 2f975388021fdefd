// The figures of a ping cycle and every text made of them: the indicators derived from a
// cycle's counters, the round-trip distribution, the statistics report, the distribution
// and summary lines, one JSON object per cycle and the Prometheus text exposition. Nothing
// here keeps state or writes anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ping_histogram.h"
#include "vrqping.h"

// Milliseconds and microseconds as seconds.
inline double Seconds(int64_t ms) { return static_cast<double>(ms) / 1000.0; }
inline double MicroSeconds(double us) { return us / 1000000.0; }

// The round-trip distribution of one cycle's responses, in microseconds.
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

// The MQRC name of a reason code ("MQRC_NO_MSG_AVAILABLE"), "VRQ_NO_MANAGER" for the
// toolkit's own 4018, "UNKNOWN" for a value without a name.
std::string ReasonName(int reason);
// "2026-01-31T23:59:59.123Z".
std::string Rfc3339(int64_t epochMs);

// A sample value as Prometheus reads it: the shortest text that reads back the same double.
std::string PromValue(double value);
// A label value with backslash, double quote and line feed escaped.
std::string PromLabel(std::string_view value);

// The statistics report of a single run.
std::string FormatReport(const PingArgs& args, const PingStats& stats, const PingIndicators& d, int reason);
// One cycle as one line of JSON (ended by a newline).
std::string FormatCycleJson(const PingCycleFigures& figures);
// The Prometheus text exposition of the last cycle and the run's totals.
std::string FormatPrometheus(const PingCycleFigures& figures, const PingRunTotals& totals);
// The distribution lines printed after the report with -v1 or more, and the summary line
// of a repeating run.
std::string FormatLatencyLines(const LatencySummary& latency);
std::string FormatSummaryLine(const PingCycleFigures& figures);
