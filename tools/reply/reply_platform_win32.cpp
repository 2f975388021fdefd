// Process and thread ids and UTC calendar time on Windows.
#include <windows.h>
#include <process.h>

#include <ctime>

#include "reply.h"
#include "reply_platform.h"

long CurrentProcessId() { return static_cast<long>(_getpid()); }

long CurrentThreadId() { return static_cast<long>(GetCurrentThreadId()); }

bool UtcCalendar(time_t seconds, std::tm* out) { return gmtime_s(out, &seconds) == 0; }
