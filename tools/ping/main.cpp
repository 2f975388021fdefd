// vrqmq: pings a queue manager with batches of PCF ping commands and reports how
// responsive it is. Runs one cycle, or repeats every -d seconds until killed; the exit
// status is the reason code of the last cycle.
#include <cmqc.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

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
  if (!ping_generate(args, stats, &reason))
    std::printf("\nERROR: Unable to complete ping %s(%s): RC(%d)\n", args->szQMgrName,
                args->szQueueName, reason);
  if (stats->lMsgsSent > 0) {
    if (!ping_get_stats(args, stats, &reason)) {
      if (reason == MQRC_NO_MSG_AVAILABLE)
        std::printf("\nWARNING: Timeout occured on %s(%s): RC(%d)\n", args->szQMgrName,
                    args->szQueueName, reason);
      else
        std::printf("\nERROR: Unable to get statistics on %s(%s): RC(%d)\n", args->szQMgrName,
                    args->szQueueName, reason);
    }
    stats->llCycleTime = curUtcTimeMsec() - start;
    ping_report(args, stats);
  }
  ping_terminate(args);
  std::printf("Pinging %s(%s) completed with RC(%d)\n", args->szQMgrName, args->szQueueName,
              reason);
  return reason;
}

}  // namespace

int main(int argc, char** argv) {
  PingArgs args{};
  PingStats stats{};
  SetPingDefaults(&args);
  std::printf("VRQPING, V%s\n", kPingVersion);
  std::fputs(kNotice, stdout);
  Init_Args(&args, argc, argv);

  int reason = 0;
  for (;;) {
    reason = RunCycle(&args, &stats);
    stats = PingStats{};
    std::fflush(stdout);
    if (args.lInterval <= 0) break;
    sleep(static_cast<unsigned>(args.lInterval));
  }
  return reason;
}
