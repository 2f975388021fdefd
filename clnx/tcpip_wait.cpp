// The start-up wait for a working TCP/IP stack: tests every few seconds, logging while
// it waits, and never gives up.
#include <cstdio>

#include "message_catalogue.h"
#include "socket_sys.h"

namespace {

constexpr unsigned kPeriodSeconds = 300;
constexpr unsigned kStepSeconds = 5;
constexpr const char* kWaitingLog = "1157I %s Waiting for TCP/IP to become active";
constexpr const char* kActiveLog = "1158I TCP/IP now active, initialization will proceed for %s";

// Logs a message whose format goes through the catalogue first.
void LogWithName(const char* format, const char* name) {
  format = vrq::net::CatalogueText(format);
  char text[512];
  std::snprintf(text, sizeof text, format, name != nullptr ? name : "");
  LOGMSG(text, 1);
}

}  // namespace

extern "C" VRQCLNX_API int bWaitForTcpip(int always_verbose, const char* name) {
  if (!bTcpipNotActive(1)) return 0;
  for (unsigned period = 0;; ++period) {
    LogWithName(kWaitingLog, name);
    for (unsigned waited = 0; waited < kPeriodSeconds; waited += kStepSeconds) {
      vrq::net::SleepSeconds(kStepSeconds);
      const bool verbose = always_verbose || (period > 0 && waited == 0);
      if (!bTcpipNotActive(verbose ? 1 : 0)) {
        LogWithName(kActiveLog, name);
        vrq::net::SleepSeconds(kStepSeconds);
        return 0;
      }
    }
  }
}
