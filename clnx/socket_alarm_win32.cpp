// The alarm helpers of the Windows build: there is no SIGALRM, so arming reports no time
// left and nothing fires; the handler still logs the time-out warning when called.
#include "vrqclnx.h"

namespace {
constexpr const char* kTimeoutLog = "0106W Timeout received, possible unreachable host";
}

extern "C" {

VRQCLNX_API void AlarmHandler(int) { LOGMSG(kTimeoutLog, 1); }

VRQCLNX_API unsigned int enable_alarm(unsigned int) { return 0; }

VRQCLNX_API unsigned int disable_alarm(void) { return 0; }

}  // extern "C"
