// The ping utility's platform parts on Windows: the clocks and UTC fields, the copy of
// standard output that a machine-readable output keeps, the replacing write of a file and
// the host name look-up behind a failed publish.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "ping_monitor.h"
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
  int64_t utc = UtcSeconds(tm);
  return (utc + LocalOffsetSeconds(utc)) * 1000 + now.wMilliseconds;
}

bool UtcFields(int64_t utc, std::tm* tm) {
  time_t t = static_cast<time_t>(utc);
  return gmtime_s(tm, &t) == 0;
}

int64_t MonotonicMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::FILE* TakeStandardOutput() {
  int kept = _dup(1);
  if (kept < 0) return nullptr;
  std::FILE* out = _fdopen(kept, "w");
  if (out) _dup2(2, 1);
  else _close(kept);
  return out;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp." + std::to_string(_getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  // rename does not replace an existing file on Windows; MoveFileEx does.
  if (ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
  int saved = errno;
  std::remove(temp.c_str());
  errno = saved;
  return false;
}

std::string HostLookupError(const char* host) {
  if (host == nullptr || *host == '\0') return "no host name";
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host, nullptr, &hints, &found);
  if (found != nullptr) freeaddrinfo(found);
  if (rc == 0) return std::string();
  return std::string("host name look-up of \"") + host + "\" failed: " + gai_strerror(rc);
}
