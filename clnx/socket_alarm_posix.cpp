// The alarm helpers: a SIGALRM handler that logs a time-out warning, armed and disarmed
// around a blocking call by single-threaded callers. Nothing in the library arms them.
#include <signal.h>
#include <unistd.h>

#include "vrqclnx.h"

namespace {

constexpr const char* kTimeoutLog = "0106W Timeout received, possible unreachable host";

struct sigaction g_saved_action {};
bool g_saved = false;

}  // namespace

extern "C" {

VRQCLNX_API void AlarmHandler(int) { LOGMSG(kTimeoutLog, 1); }

VRQCLNX_API unsigned int enable_alarm(unsigned int seconds) {
  struct sigaction action {};
  action.sa_handler = AlarmHandler;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  if (sigaction(SIGALRM, &action, &previous) == 0 && !g_saved) {
    g_saved_action = previous;
    g_saved = true;
  }
  return alarm(seconds);
}

VRQCLNX_API unsigned int disable_alarm(void) {
  const unsigned int left = alarm(0);
  if (g_saved) {
    sigaction(SIGALRM, &g_saved_action, nullptr);
    g_saved = false;
  }
  return left;
}

}  // extern "C"
