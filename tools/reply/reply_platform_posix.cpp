// Process and thread ids and UTC calendar time on POSIX systems. The GUID text takes the
// process id as its thread id here.
#include <unistd.h>

#include <ctime>

#include "reply.h"
#include "reply_platform.h"

long CurrentProcessId() { return static_cast<long>(getpid()); }

long CurrentThreadId() { return CurrentProcessId(); }

bool UtcCalendar(time_t seconds, std::tm* out) { return gmtime_r(&seconds, out) != nullptr; }
