// The put-stamp conversions of the ping utility. They, like the clock (ping_clock_*.cpp),
// break a UTC time down and convert it back as local time, so that differences between
// them are true elapsed milliseconds whatever the local zone.
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

}  // namespace

int64_t LocalSeconds(std::tm* tm) {
  tm->tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(tm));
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
  return LocalSeconds(&tm) * 1000 + Field(time8, 6, 2) * 10LL;
}
