// The ping utility's clock on POSIX systems: the real-time clock's UTC calendar time,
// converted back as local time, in milliseconds.
#include <ctime>

#include "vrqping.h"

int64_t curUtcTimeMsec() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm tm{};
  gmtime_r(&now.tv_sec, &tm);
  return LocalSeconds(&tm) * 1000 + now.tv_nsec / 1000000;
}
