// The ping utility's clock on Windows: the system's UTC time fields, converted back as
// local time, in milliseconds.
#include <windows.h>

#include <ctime>

#include "vrqping.h"

int64_t curUtcTimeMsec() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  std::tm tm{};
  tm.tm_year = now.wYear - 1900;
  tm.tm_mon = now.wMonth - 1;
  tm.tm_mday = now.wDay;
  tm.tm_hour = now.wHour;
  tm.tm_min = now.wMinute;
  tm.tm_sec = now.wSecond;
  return LocalSeconds(&tm) * 1000 + now.wMilliseconds;
}
