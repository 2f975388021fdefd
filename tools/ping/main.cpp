// vrqmq: pings a queue manager with batches of PCF ping commands and reports how
// responsive it is. Runs one cycle, or repeats every -d seconds until killed; the exit
// status is the reason code of the last cycle (a failed put, no response at all, or facts
// that could not be sent all count as failures). SIGINT and SIGTERM end the run after the
// figures gathered so far are printed.
#include <cmqc.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ping_monitor.h"
#include "vrqping.h"

namespace {

constexpr const char* kNotice =
    "Measures the round trip of PCF pings through a queue manager's command server.\n";

int RunCycle(PingArgs* args, PingStats* stats) {
  int reason = 0;
  int64_t start = curUtcTimeMsec();
  if (!ping_init(args, &reason)) {
    std::printf("INIT_ERROR: Could not ping %s(%s): RC(%d)\n", args->szQMgrName,
                args->szQueueName, reason);
    // The object that the failed open left behind is released here, so that a repeating
    // run does not keep one connection per failed cycle.
    ping_terminate(args);
    return reason;
  }
  int putReason = 0;
  if (!ping_generate(args, stats, &reason)) {
    std::printf("\nERROR: Unable to complete ping %s(%s): RC(%d)\n", args->szQMgrName,
                args->szQueueName, reason);
    putReason = reason;
  }
  int publishError = 0;
  if (stats->lMsgsSent > 0) {
    if (!ping_get_stats(args, stats, &reason)) {
      if (reason == MQRC_NO_MSG_AVAILABLE)
        std::printf("\nWARNING: Timeout occured on %s(%s): RC(%d)\n", args->szQMgrName,
                    args->szQueueName, reason);
      else
        std::printf("\nERROR: Unable to get statistics on %s(%s): RC(%d)\n", args->szQMgrName,
                    args->szQueueName, reason);
    }
    // The reads that follow a failed put must not hide it: the first failure stands.
    if (putReason != 0) reason = putReason;
    // Pings that all expired (or were all answered by reports) prove nothing about the
    // queue manager's command server.
    if (reason == 0 && stats->lMsgsReceived - stats->lReportsReceived == 0) {
      reason = MQRC_NO_MSG_AVAILABLE;
      std::printf("\nWARNING: No response received from %s(%s): RC(%d)\n", args->szQMgrName,
                  args->szQueueName, reason);
    }
    if (args->pQMgr) args->pQMgr->lReason = reason;  // the report's completion code
    stats->llCycleTime = curUtcTimeMsec() - start;
    publishError = ping_report(args, stats);
  } else if (reason == 0) {
    reason = MQRC_STORAGE_NOT_AVAILABLE;  // no ping could even be built
  }
  ping_terminate(args);
  std::printf("Pinging %s(%s) completed with RC(%d)\n", args->szQMgrName, args->szQueueName,
              reason);
  // A cycle that went well but whose facts could not be sent still fails the run.
  return reason != 0 ? reason : publishError;
}

// The process exit status for a reason code: only its low 8 bits reach the caller, so a
// reason such as 2048 would read as success; it becomes 255 instead.
int ExitStatus(int reason) {
  if (reason == 0) return 0;
  return (reason & 0xFF) != 0 ? reason : 255;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsServeCommandLine(argc, argv)) {
    ServeOptions options;
    std::string error;
    if (!ParseServeArgs(argc, argv, &options, &error)) {
      std::fprintf(stderr, "vrqmq: %s\nusage: vrqmq --serve=TARGETS_FILE [--listen=[ADDR]:PORT] "
                   "[--interval=SECONDS] [--max-probes=N] [--web-config=FILE]\n", error.c_str());
      return 1;
    }
    std::printf("VRQPING, V%s\n", kPingVersion);
    return RunServe(options);
  }
  PingArgs args{};
  PingStats stats{};
  SetPingDefaults(&args);
  PingMonitor monitor;
  monitor.Start(argc, argv);
  std::printf("VRQPING, V%s\n", kPingVersion);
  std::fputs(kNotice, stdout);
  Init_Args(&args, argc, argv);
  args.pMonitor = &monitor;

  int reason = 0;
  bool ended = false;  // a cycle ran to its end without being stopped
  for (;;) {
    monitor.BeginCycle();
    int cycleReason = RunCycle(&args, &stats);
    monitor.EndCycle(args, stats, cycleReason);
    if (!PingStopSignal()) {
      reason = cycleReason;
      ended = true;
    }
    stats = PingStats{};
    std::fflush(stdout);
    if (args.lInterval <= 0 || PingStopSignal()) break;
    PingPause(args.lInterval);
    if (PingStopSignal()) break;
  }
  return ExitStatus(monitor.ExitStatus(reason, ended));
}
