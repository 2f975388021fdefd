// Path routines: separator handling, quoting for command lines, file sizes, the
// installation directory and the path of a configuration file.
#include <vrqapi.h>

#include <cmqc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "paths_platform.h"

namespace vrq::paths {

bool CutToParent(char* path) {
  std::size_t i = std::strlen(path);
  if (i <= 1) return false;
  while (i > 0 && path[i - 1] != kSeparator) --i;
  if (i == 0) return false;
  path[i] = '\0';
  return true;
}

}  // namespace vrq::paths

namespace {

using vrq::paths::kSeparator;

constexpr std::size_t kQuoteArea = 1036;
constexpr std::size_t kMaxQuotedPath = kQuoteArea - 3;
constexpr const char* kInstallEnv = "VXWMQ_HOME";
constexpr const char* kConfigDir = "config";
constexpr const char* kGroupsDir = "groups";

bool EndsWithSeparator(const char* path) {
  std::size_t n = std::strlen(path);
  return n > 0 && path[n - 1] == kSeparator;
}

// The stream's size, its position kept; the names are those of the calling routine.
int StreamSize(FILE* stream, MQLONG* size, const char* tellFailed, const char* seekFailed) {
  long here = std::ftell(stream);
  if (here < 0) {
    std::perror(tellFailed);
    return 0;
  }
  if (std::fseek(stream, 0, SEEK_END) != 0) {
    std::perror(seekFailed);
    return 0;
  }
  long end = std::ftell(stream);
  std::fseek(stream, here, SEEK_SET);
  if (end < 0 || end > INT32_MAX) return 0;
  *size = static_cast<MQLONG>(end);
  return 1;
}

}  // namespace

extern "C" {

int vrqTerminatePath(char* path) {
  if (path == nullptr || *path == '\0' || EndsWithSeparator(path)) return 1;
  std::size_t n = std::strlen(path);
  path[n] = kSeparator;
  path[n + 1] = '\0';
  return 1;
}

int vrqMakePath(char* path, const char* name) {
  if (path == nullptr) return 0;
  vrqTerminatePath(path);
  if (name != nullptr) std::strcat(path, name);
  return 1;
}

int vrqUseLongNames(char* path) {
  if (path == nullptr) return 0;
  std::size_t n = std::strlen(path);
  if (n == 0) return 1;
  if (n > kMaxQuotedPath) return 0;
  std::memmove(path + 1, path, n);
  path[0] = '"';
  path[n + 1] = '"';
  path[n + 2] = '\0';
  return 1;
}

int SizeOfFile(FILE* stream, MQLONG* size) {
  if (stream == nullptr || size == nullptr) return 0;
  return StreamSize(stream, size, "SizeOfFile() - ftell() failed", "SizeOfFile() - fseek() failed");
}

int SizeOfFileByName(const char* path, MQLONG* size) {
  if (path == nullptr || size == nullptr) return 0;
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) {
    std::perror("SizeOfFileByName() - fopen() failed");
    return 0;
  }
  int ok = StreamSize(f, size, "SizeOfFileByName() - ftell() failed",
                      "SizeOfFileByName() - fseek() failed");
  std::fclose(f);
  return ok;
}

int vrqGetInstallDir(char* buffer) {
  if (buffer == nullptr) return 0;
  vrq::paths::PlatformInstallDir(buffer);
  const char* home = std::getenv(kInstallEnv);
  if (home == nullptr) return 0;
  // The caller's buffer holds 512 bytes: a longer value is cut.
  std::snprintf(buffer, vrq::paths::kInstallDirRoom, "%s", home);
  return 1;
}

int vrqMakeIniFilePath(char* buffer, const char* file_name) {
  if (buffer == nullptr) return 0;
  vrqGetInstallDir(buffer);
  vrqMakePath(buffer, kConfigDir);
  vrqMakePath(buffer, kGroupsDir);
  vrqMakePath(buffer, file_name);
  return 1;
}

}  // extern "C"
