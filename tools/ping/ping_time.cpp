// The put-stamp conversions of the ping utility. They, like the clock
// (ping_platform_*.cpp), take a UTC time and shift it as if its fields were local time, so
// that differences between them are true elapsed milliseconds whatever the local zone.
// The shift is asked of the C library once per quarter hour of the calendar (zone rules
// change on such boundaries), not once per ping: mktime reads the zone file each call.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "vrqping.h"

namespace {

// A field of a put stamp taken as text with a plain decimal conversion.
int Field(const char* text, int offset, int width) {
  char buf[5] = {};
  std::memcpy(buf, text + offset, static_cast<size_t>(width));
  return std::atoi(buf);
}

constexpr int64_t kShiftSlotSeconds = 900;

}  // namespace

int64_t UtcSeconds(const std::tm& tm) {
  // Days from 1970-01-01 of the proleptic Gregorian date (months outside 0-11 carried).
  int64_t year = tm.tm_year + 1900LL + tm.tm_mon / 12;
  int64_t month = tm.tm_mon % 12;
  if (month < 0) {
    month += 12;
    --year;
  }
  const int64_t y = month < 2 ? year - 1 : year;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 10) % 12;  // March is 0
  const int64_t doy = (153 * mp + 2) / 5 + tm.tm_mday - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec;
}

int64_t LocalOffsetSeconds(int64_t utc) {
  struct Cache {
    int64_t slot = INT64_MIN;
    int64_t shift = 0;
  };
  thread_local Cache cache;
  const int64_t slot = utc >= 0 ? utc / kShiftSlotSeconds : -((-utc + kShiftSlotSeconds - 1) / kShiftSlotSeconds);
  if (slot != cache.slot) {
    std::tm tm{};
    UtcFields(utc, &tm);
    tm.tm_isdst = -1;
    // mktime reads the zone settings again on each call; calls from several threads are
    // made one at a time (a spin lock: the Windows runtime has no std::mutex, and this runs
    // once per quarter hour and thread).
    static std::atomic_flag busy = ATOMIC_FLAG_INIT;
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    cache.shift = static_cast<int64_t>(std::mktime(&tm)) - utc;
    busy.clear(std::memory_order_release);
    cache.slot = slot;
  }
  return cache.shift;
}

int64_t cnv_milltm(const char* time8) {
  return Field(time8, 0, 2) * 3600000LL + Field(time8, 2, 2) * 60000LL +
         Field(time8, 4, 2) * 1000LL + Field(time8, 6, 2) * 10LL;
}

int64_t cnv_millts(const char* date8, const char* time8) {
  std::tm tm{};
  tm.tm_year = Field(date8, 0, 4) - 1900;
  tm.tm_mon = Field(date8, 4, 2) - 1;
  tm.tm_mday = Field(date8, 6, 2);
  tm.tm_hour = Field(time8, 0, 2);
  tm.tm_min = Field(time8, 2, 2);
  tm.tm_sec = Field(time8, 4, 2);
  const int64_t utc = UtcSeconds(tm);
  return (utc + LocalOffsetSeconds(utc)) * 1000 + Field(time8, 6, 2) * 10LL;
}
