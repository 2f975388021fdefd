// Variable-length strings of the MQI (MQCHARV): read from a structure by pointer or by
// offset from the structure's start, and written back into the caller's buffer.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include <cmqc.h>

namespace vrqsim::client {

// False when the string is longer than max or its location is unusable.
inline bool ReadCharv(const MQCHARV& v, const void* base, size_t max, std::string& out) {
  out.clear();
  if (v.VSLength == 0) return true;
  if (v.VSLength < MQVS_NULL_TERMINATED) return false;
  const char* text = v.VSPtr ? static_cast<const char*>(v.VSPtr)
                             : v.VSOffset > 0 ? static_cast<const char*>(base) + v.VSOffset : nullptr;
  if (!text) return false;
  const size_t n = v.VSLength == MQVS_NULL_TERMINATED ? strnlen(text, max + 1) : static_cast<size_t>(v.VSLength);
  if (n > max) return false;
  out.assign(text, n);
  return true;
}

// Copies as much of s as the buffer takes; VSLength says the whole length.
inline void WriteCharv(MQCHARV& v, void* base, std::string_view s) {
  char* buffer = v.VSPtr ? static_cast<char*>(v.VSPtr) : v.VSOffset > 0 ? static_cast<char*>(base) + v.VSOffset : nullptr;
  if (buffer && v.VSBufSize > 0) std::memcpy(buffer, s.data(), std::min(s.size(), static_cast<size_t>(v.VSBufSize)));
  v.VSLength = static_cast<MQLONG>(s.size());
}

}  // namespace vrqsim::client
