// What the tests take from POSIX and MinGW-w64 lacks: setenv and unsetenv, over the C
// run-time's _putenv_s (which keeps the process environment in step). On Windows a
// variable set to the empty text is removed. Windows test programs include this first
// (it is part of their precompiled header).
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr || value == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
  if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) {
    errno = EINVAL;
    return -1;
  }
  return _putenv_s(name, "") == 0 ? 0 : -1;
}
