// Installation discovery, Windows side: MQ's configuration root from VXWMQ_MQS_HOME, else
// the registry's FilePath, else c:\mqm; directory listings through FindFirstFileA; paths
// absolute only with a drive letter; and the operations answered from the registry (the
// installation prefix, log settings, the MQ server version).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform_internal.h"

namespace vrq::platform {

namespace {

constexpr const char* kConfigRootEnv = "VXWMQ_MQS_HOME";
constexpr const char* kDefaultRoot = "c:\\mqm";
constexpr const char* kRootKey = "SOFTWARE\\IBM\\MQSeries\\CurrentVersion";
constexpr const char* kAllQmgrsKey = "SOFTWARE\\IBM\\MQSeries\\CurrentVersion\\Configuration\\AllQueueManagers";
constexpr const char* kQmgrLogKey = "%s\\Configuration\\QueueManager\\%s\\Log";
constexpr const char* kDefaultQmgrKey =
    "SOFTWARE\\IBM\\MQSeries\\CurrentVersion\\Configuration\\DefaultQueueManager";
constexpr const char* kOpenFailed =
    "Attempt to get MQServerVersion and MQServerRelease failed: RegOpenKeyEx for registry path "
    "HKEY_LOCAL_MACHINE\\%s failed. Reason: %s\n";
constexpr const char* kVersionFailed =
    "Attempt to get MQServerVersion failed: RegQueryValueEx for key %s failed. Reason: %s\n";
constexpr const char* kReleaseFailed =
    "Attempt to get MQServerRelease failed: RegQueryValueEx for key %s failed. Reason: %s\n";
constexpr const char* kReasonFormat = "%s (0x%x)";

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey(const char* path) : rc_(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key_)) {}
  ~RegKey() {
    if (rc_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  LONG OpenResult() const { return rc_; }
  LONG Text(const char* name, std::string* out) const {
    if (rc_ != ERROR_SUCCESS) return rc_;
    char value[MAX_PATH + 1] = {};
    DWORD size = sizeof value - 1;
    const LONG rc = RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size);
    if (rc == ERROR_SUCCESS) *out = value;
    return rc;
  }
  LONG Number(const char* name, int* out) const {
    if (rc_ != ERROR_SUCCESS) return rc_;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc = RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
    if (rc == ERROR_SUCCESS) *out = static_cast<int>(value);
    return rc;
  }

 private:
  HKEY key_ = nullptr;
  LONG rc_;
};

// The system's text for an error code, as "text (0xcode)".
std::string Reason(LONG code) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  char reason[600];
  std::snprintf(reason, sizeof reason, kReasonFormat, text, static_cast<unsigned>(code));
  return reason;
}

}  // namespace

std::string ConfigRoot() {
  if (const char* home = std::getenv(kConfigRootEnv)) return home;
  std::string path;
  if (RegKey(kRootKey).Text("FilePath", &path) == ERROR_SUCCESS) return path;
  return kDefaultRoot;
}

const char* DefaultPrefix() { return kDefaultRoot; }

bool ListDirectory(const std::string& directory, std::vector<DirEntry>* entries) {
  WIN32_FIND_DATAA found{};
  HANDLE h = FindFirstFileA((directory + "*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    ULARGE_INTEGER t{};
    t.LowPart = found.ftLastWriteTime.dwLowDateTime;
    t.HighPart = found.ftLastWriteTime.dwHighDateTime;
    // FILETIME counts 100 ns steps from 1601; the listing wants seconds from 1970.
    const int64_t seconds = static_cast<int64_t>(t.QuadPart / 10000000ULL) - 11644473600LL;
    entries->push_back({found.cFileName, seconds > 0 ? seconds : 0});
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return true;
}

bool IsRelative(const char* path) {
  if (path == nullptr) return false;
  const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  return !(letter && path[1] == ':');
}

}  // namespace vrq::platform

using namespace vrq::platform;

extern "C" {

VRQMQTX_API int GetBaseWMQPath(char* out) {
  if (out == nullptr) return 0;
  out[0] = '\0';
  std::string prefix;
  if (RegKey(kAllQmgrsKey).Text("DefaultPrefix", &prefix) != ERROR_SUCCESS) return 1;
  return CopyOut(prefix, out, VRQ_PL_PATH_SIZE) ? 1 : 0;
}

VRQMQTX_API int GetDefaultQmgr(char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  std::memset(out, 0, static_cast<size_t>(size));
  std::string name;
  if (RegKey(kDefaultQmgrKey).Text("Name", &name) != ERROR_SUCCESS || name.empty()) return 0;
  name.copy(out, static_cast<size_t>(size) - 1);
  return 1;
}

// The group files of the configuration directory, as on Linux; the registry's remote
// queue-manager keys are not read yet.
VRQMQTX_API int GetRemoteQMgrNames(PcfMessage* message, const char* group) {
  return RemoteQMgrNamesFromIni(message, group);
}

VRQMQTX_API int GetMQLogInfo(const char* name, MQLogInfo* info) {
  if (info == nullptr) return 0;
  if (name == nullptr || *name == '\0') return GetMQLogInfo_FromIni(name, info);
  std::string key_name(name);
  for (char& c : key_name)
    if (c == '.') c = '!';
  char path[VRQ_PL_PATH_SIZE];
  std::snprintf(path, sizeof path, kQmgrLogKey, kRootKey, key_name.c_str());
  const RegKey key(path);
  if (key.OpenResult() != ERROR_SUCCESS) return GetMQLogInfo_FromIni(name, info);
  *info = MQLogInfo{};
  std::string log_path;
  if (key.Text("LogPath", &log_path) == ERROR_SUCCESS) CopyOut(log_path, info->szLogPath, sizeof info->szLogPath);
  std::string type;
  if (key.Text("LogType", &type) == ERROR_SUCCESS) info->lLogType = type == "LINEAR" ? 3 : 2;
  key.Number("LogPrimaryFiles", &info->lPrimaryFiles);
  key.Number("LogSecondaryFiles", &info->lSecondaryFiles);
  key.Number("LogFilePages", &info->lFilePages);
  key.Number("LogBufferPages", &info->lBufferPages);
  return 1;
}

VRQMQTX_API int GetErrorLogPath(int kind, const char* name, char* out) {
  return GetErrorLogPath_FromIni(kind, name, out);
}

VRQMQTX_API int GetNT_MQ_Version(int* version, int* release) {
  if (version == nullptr || release == nullptr) return 0;
  *version = 0;
  *release = 0;
  const RegKey key(kRootKey);
  if (key.OpenResult() != ERROR_SUCCESS) {
    std::printf(kOpenFailed, kRootKey, Reason(key.OpenResult()).c_str());
    return 0;
  }
  if (const LONG rc = key.Number("MQServerVersion", version); rc != ERROR_SUCCESS) {
    std::printf(kVersionFailed, kRootKey, Reason(rc).c_str());
    return 0;
  }
  if (const LONG rc = key.Number("MQServerRelease", release); rc != ERROR_SUCCESS) {
    *version = 0;
    std::printf(kReleaseFailed, kRootKey, Reason(rc).c_str());
    return 0;
  }
  return 1;
}

}  // extern "C"
