// Time helpers of the reply utility: the current time as seconds and microseconds, the
// difference of two times, the UTC time as text and the time as a double.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "reply.h"
#include "reply_platform.h"

namespace {

constexpr long kMicros = 1000000;
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

VXXTIME* TimeMkSec(VXXTIME* t) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  t->time_sec = static_cast<long>(us / kMicros);
  t->time_usec = static_cast<long>(us % kMicros);
  return t;
}

VXXTIME* Duration(const VXXTIME* start, const VXXTIME* end, VXXTIME* dur) {
  dur->time_sec = end->time_sec - start->time_sec;
  dur->time_usec = end->time_usec - start->time_usec;
  if (dur->time_usec < 0) {
    dur->time_usec += kMicros;
    dur->time_sec -= 1;
  }
  return dur;
}

// The first 19 characters of the asctime form ("Mon Dec  7 22:46:12") and the
// microseconds.
char* TimeToStr(const VXXTIME* t, char* out) {
  std::tm tm{};
  if (!UtcCalendar(static_cast<time_t>(t->time_sec), &tm) || tm.tm_wday < 0 || tm.tm_wday > 6 ||
      tm.tm_mon < 0 || tm.tm_mon > 11) {
    out[0] = '\0';
    return out;
  }
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%.3s %.3s%3d %.2d:%.2d:%.2d", kWeekdays[tm.tm_wday],
                kMonths[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::snprintf(out, 27, "%.19s.%.6d", stamp, static_cast<int>(t->time_usec));
  return out;
}

double pctimer() {
  VXXTIME now;
  TimeMkSec(&now);
  return static_cast<double>(now.time_sec) + static_cast<double>(now.time_usec) / kMicros;
}
