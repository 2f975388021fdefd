// The ping utility's platform parts on POSIX systems: the clocks and UTC fields, the copy
// of standard output that a machine-readable output keeps, the replacing write of a file
// and the host name look-up behind a failed publish.
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "ping_monitor.h"
#include "vrqping.h"

int64_t curUtcTimeMsec() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<int64_t>(now.tv_sec) + LocalOffsetSeconds(now.tv_sec)) * 1000 + now.tv_nsec / 1000000;
}

bool UtcFields(int64_t utc, std::tm* tm) {
  time_t t = static_cast<time_t>(utc);
  return gmtime_r(&t, tm) != nullptr;
}

int64_t MonotonicMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::FILE* TakeStandardOutput() {
  int kept = dup(1);
  if (kept < 0) return nullptr;
  std::FILE* out = fdopen(kept, "w");
  if (out) dup2(2, 1);
  else close(kept);
  return out;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp." + std::to_string(getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  ok = ok && fsync(fileno(f)) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
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
