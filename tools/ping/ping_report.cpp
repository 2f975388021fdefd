// The end of a cycle's report: the statistics printed for a single run, the monitor's
// lines after it, and the facts published to a collector.
#include <cstdio>

#include "ping_figures.h"
#include "ping_monitor.h"
#include "vrqping.h"

int ping_report(PingArgs* args, PingStats* stats) {
  const PingStats& s = *stats;
  PingIndicators d = ping_indicators(s);
  int reason = args->pQMgr ? args->pQMgr->lReason : kRcNoManager;
  if (args->lInterval <= 0) {
    std::fputs(FormatReport(*args, s, d, reason).c_str(), stdout);
    std::fflush(stdout);
  }
  if (args->pMonitor) args->pMonitor->PrintAfterReport(*args, s, reason);
  return PublishReportFacts(*args, s, d, reason);
}
