// Installation discovery, Windows side: MQ's configuration root from VXWMQ_MQS_HOME, else
// the registry's FilePath, else c:\mqm; directory listings through FindFirstFileA; paths
// absolute only with a drive letter; and the operations answered from the registry (the
// queue managers of an MQ 5.x installation, the installation prefix, log settings and
// error-log directories, remote queue-manager groups, the MQ server version). Where the
// registry holds no answer, mqs.ini is read as on Linux.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform_internal.h"

namespace vrq::platform {

namespace {

constexpr const char* kConfigRootEnv = "VXWMQ_MQS_HOME";
constexpr const char* kDefaultRoot = "c:\\mqm";
constexpr const char* kRootKey = "SOFTWARE\\IBM\\MQSeries\\CurrentVersion";
constexpr const char* kAllQmgrsKey = "SOFTWARE\\IBM\\MQSeries\\CurrentVersion\\Configuration\\AllQueueManagers";
constexpr const char* kQmgrsKeyFormat = "%s\\Configuration\\QueueManager";
constexpr const char* kQmgrKeyFormat = "%s\\Configuration\\QueueManager\\%s";
constexpr const char* kQmgrLogKeyFormat = "%s\\Configuration\\QueueManager\\%s\\Log";
constexpr const char* kLogDefaultsKeyFormat = "%s\\Configuration\\LogDefaults";
constexpr const char* kDefaultQmgrKey =
    "SOFTWARE\\IBM\\MQSeries\\CurrentVersion\\Configuration\\DefaultQueueManager";
constexpr const char* kRemoteGroupsKey = "Software\\Orvane\\Veltrix/WMQ\\Remote QMGRs";
constexpr const char* kSubKeyFormat = "%s\\%s";
constexpr const char* kGroupEntryKeyFormat = "%s\\%s\\%s";
constexpr const char* kCurrentUserPrefix = "HKEY_CURRENT_USER\\";

constexpr const char* kQmgrsOpenFailed =
    "Attempt to get MQ 5.x queue manager names failed: RegOpenKeyEx for registry path "
    "HKEY_LOCAL_MACHINE\\%s failed. Reason: %s\n";
constexpr const char* kOpenFailed =
    "Attempt to get MQServerVersion and MQServerRelease failed: RegOpenKeyEx for registry path "
    "HKEY_LOCAL_MACHINE\\%s failed. Reason: %s\n";
constexpr const char* kVersionFailed =
    "Attempt to get MQServerVersion failed: RegQueryValueEx for key %s failed. Reason: %s\n";
constexpr const char* kReleaseFailed =
    "Attempt to get MQServerRelease failed: RegQueryValueEx for key %s failed. Reason: %s\n";
constexpr const char* kReasonFormat = "%s (0x%x)";

constexpr const char* kQmIni = "qm.ini";
constexpr const char* kQmgrsDir = "qmgrs";
constexpr const char* kErrorsDir = "errors";
constexpr std::string_view kBlanks = " \t\r\n";

// Key names are at most 255 characters; stored texts here are names and paths.
constexpr DWORD kKeyNameRoom = 256;
constexpr DWORD kValueRoom = MAX_PATH;

// An open registry key, closed when it goes out of scope. Values are read into a bounded
// buffer: a longer one is refused, and a text stored without its terminator gets one.
class RegKey {
 public:
  explicit RegKey(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE)
      : rc_(RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key_)) {}
  ~RegKey() {
    if (rc_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  LONG OpenResult() const { return rc_; }

  // A REG_SZ or REG_EXPAND_SZ value (not expanded), up to its first terminator.
  LONG Text(const char* name, std::string* out) const {
    Value value;
    if (const LONG rc = Query(name, &value); rc != ERROR_SUCCESS) return rc;
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return ERROR_INVALID_DATATYPE;
    *out = value.data;
    return ERROR_SUCCESS;
  }
  // A REG_DWORD value.
  LONG Number(const char* name, int* out) const {
    Value value;
    if (const LONG rc = Query(name, &value); rc != ERROR_SUCCESS) return rc;
    if (value.type != REG_DWORD || value.size != sizeof(DWORD)) return ERROR_INVALID_DATATYPE;
    DWORD number = 0;
    std::memcpy(&number, value.data, sizeof number);
    *out = static_cast<int>(number);
    return ERROR_SUCCESS;
  }
  // The names of the sub-keys in registry order; none when the key is not open.
  std::vector<std::string> SubKeys() const {
    std::vector<std::string> names;
    if (rc_ != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
      char name[kKeyNameRoom + 1] = {};
      DWORD size = kKeyNameRoom;
      const LONG rc = RegEnumKeyExA(key_, i, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(name, std::min(size, kKeyNameRoom));
    }
    return names;
  }

 private:
  struct Value {
    DWORD type = REG_NONE;
    DWORD size = 0;
    char data[kValueRoom + 1] = {};  // the extra byte stays 0: every text is terminated
  };
  LONG Query(const char* name, Value* value) const {
    if (rc_ != ERROR_SUCCESS) return rc_;
    value->size = kValueRoom;
    return RegQueryValueExA(key_, name, nullptr, &value->type, reinterpret_cast<LPBYTE>(value->data),
                            &value->size);
  }

  HKEY key_ = nullptr;
  LONG rc_;
};

// The system's text for an error code, as "text (0xcode)".
std::string Reason(LONG code) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(code), 0, text, sizeof text - 1, nullptr);
  // The system text ends with a line break of its own.
  std::size_t n = std::strlen(text);
  while (n > 0 && kBlanks.find(text[n - 1]) != std::string_view::npos) text[--n] = '\0';
  char reason[600];
  std::snprintf(reason, sizeof reason, kReasonFormat, text, static_cast<unsigned>(code));
  return reason;
}

const char* CStr(const char* text) { return text; }
const char* CStr(const std::string& text) { return text.c_str(); }

// format with each %s replaced by the next text, never cut.
template <typename... Texts>
std::string Format(const char* format, const Texts&... texts) {
  const int n = std::snprintf(nullptr, 0, format, CStr(texts)...);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, CStr(texts)...);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// The registry key of a queue manager: its name, blanks stripped, with "!" for "."; empty
// for a name that cannot be a key of its own.
std::string QmgrKeyName(const char* name) {
  if (name == nullptr) return {};
  std::string key(Trim(name));
  if (key.find('\\') != std::string::npos) return {};
  std::replace(key.begin(), key.end(), '.', '!');
  return key;
}

// The directory of a queue manager from its key: DataPath, else Prefix\qmgrs\Directory.
bool QmgrDirectoryFromRegistry(const std::string& keyName, std::string* directory) {
  const RegKey key(Format(kQmgrKeyFormat, kRootKey, keyName));
  if (key.OpenResult() != ERROR_SUCCESS) return false;
  std::string dataPath;
  if (key.Text("DataPath", &dataPath) == ERROR_SUCCESS && !dataPath.empty()) {
    *directory = dataPath;
    return true;
  }
  std::string prefix;
  std::string subdirectory;
  if (key.Text("Prefix", &prefix) != ERROR_SUCCESS || prefix.empty() ||
      key.Text("Directory", &subdirectory) != ERROR_SUCCESS || subdirectory.empty())
    return false;
  *directory = JoinPath(JoinPath(prefix, kQmgrsDir), subdirectory);
  return true;
}

// Fills info from the values of a Log or LogDefaults key. LogType may be stored as a
// number (taken as it stands) or as text ("CIRCULAR..." or linear).
void ReadLogKey(const RegKey& key, const char* pathValue, MQLogInfo* info) {
  *info = MQLogInfo{};
  std::string path;
  if (key.Text(pathValue, &path) == ERROR_SUCCESS) CopyOut(path, info->szLogPath, sizeof info->szLogPath);
  std::string type;
  if (key.Number("LogType", &info->lLogType) != ERROR_SUCCESS &&
      key.Text("LogType", &type) == ERROR_SUCCESS)
    info->lLogType = LogTypeOf(type);
  key.Number("LogPrimaryFiles", &info->lPrimaryFiles);
  key.Number("LogSecondaryFiles", &info->lSecondaryFiles);
  key.Number("LogFilePages", &info->lFilePages);
  key.Number("LogBufferPages", &info->lBufferPages);
}

// The queue managers of a remote group: one key per group under the user's remote
// queue-manager key, one sub-key per entry naming its queue manager in "QMNAME", else by
// its own name. False when the group's key cannot be opened.
bool RemoteGroupNames(const std::string& group, std::vector<std::string>* names) {
  // An empty group would name the parent key, whose sub-keys are the groups themselves.
  if (group.empty()) return false;
  const RegKey groupKey(Format(kSubKeyFormat, kRemoteGroupsKey, group), HKEY_CURRENT_USER);
  if (groupKey.OpenResult() != ERROR_SUCCESS) return false;
  for (const std::string& entry : groupKey.SubKeys()) {
    std::string name;
    const RegKey entryKey(Format(kGroupEntryKeyFormat, kRemoteGroupsKey, group, entry), HKEY_CURRENT_USER);
    if (entryKey.Text("QMNAME", &name) == ERROR_SUCCESS) name = std::string(Trim(name));
    names->push_back(name.empty() ? entry : name);
  }
  return true;
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

char Separator() { return '\\'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// MQ 5.x keeps one key per queue manager, its name in the value "Name".
bool QueueManagersWithoutMqsIni(std::vector<std::string>* names) {
  const std::string path = Format(kQmgrsKeyFormat, kRootKey);
  const RegKey key(path);
  if (key.OpenResult() != ERROR_SUCCESS) {
    std::printf(kQmgrsOpenFailed, path.c_str(), Reason(key.OpenResult()).c_str());
    return false;
  }
  for (const std::string& sub : key.SubKeys()) {
    std::string name;
    if (RegKey(Format(kSubKeyFormat, path, sub)).Text("Name", &name) == ERROR_SUCCESS)
      names->push_back(name);
  }
  return true;
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

VRQMQTX_API int GetRemoteQMgrNames(PcfMessage* message, const char* group) {
  if (message == nullptr || group == nullptr) return 0;
  try {
    std::string stripped(group);
    std::erase(stripped, ' ');
    std::vector<std::string> names;
    if (!RemoteGroupNames(stripped, &names))
      LogUnreadableGroup((kCurrentUserPrefix + Format(kSubKeyFormat, kRemoteGroupsKey, stripped)).c_str());
    return AppendRemoteQMgrLists(message, names);
  } catch (...) {
    return 0;
  }
}

// The queue manager's Log key, else the qm.ini in its DataPath; the defaults from the
// LogDefaults key. Without any of them mqs.ini is read as on Linux.
VRQMQTX_API int GetMQLogInfo(const char* name, MQLogInfo* info) {
  if (info == nullptr) return 0;
  try {
    if (name == nullptr || *name == '\0') {
      const RegKey defaults(Format(kLogDefaultsKeyFormat, kRootKey));
      if (defaults.OpenResult() != ERROR_SUCCESS) return GetMQLogInfo_FromIni(name, info);
      ReadLogKey(defaults, "LogDefaultPath", info);
      return 1;
    }
    const std::string keyName = QmgrKeyName(name);
    if (!keyName.empty()) {
      const RegKey log(Format(kQmgrLogKeyFormat, kRootKey, keyName));
      if (log.OpenResult() == ERROR_SUCCESS) {
        ReadLogKey(log, "LogPath", info);
        return 1;
      }
      std::string dataPath;
      if (RegKey(Format(kQmgrKeyFormat, kRootKey, keyName)).Text("DataPath", &dataPath) == ERROR_SUCCESS &&
          !dataPath.empty())
        return LogInfoFromQmIni(JoinPath(dataPath, kQmIni), info);
    }
    return GetMQLogInfo_FromIni(name, info);
  } catch (...) {
    return 0;
  }
}

// The queue manager's directory from its key, or the installation prefix of the
// AllQueueManagers key, joined with "errors"; mqs.ini when the registry has no answer.
VRQMQTX_API int GetErrorLogPath(int kind, const char* name, char* out) {
  if (out == nullptr) return 0;
  try {
    if (kind == VRQ_ERRLOG_QMGR) {
      if (name == nullptr || *name == '\0') return 0;
      const std::string keyName = QmgrKeyName(name);
      std::string directory;
      if (!keyName.empty() && QmgrDirectoryFromRegistry(keyName, &directory))
        return CopyOut(JoinPath(directory, kErrorsDir), out, VRQ_PL_PATH_SIZE) ? 1 : 0;
    } else {
      std::string prefix;
      if (RegKey(kAllQmgrsKey).Text("DefaultPrefix", &prefix) == ERROR_SUCCESS && !prefix.empty())
        return CopyOut(JoinPath(prefix, kErrorsDir), out, VRQ_PL_PATH_SIZE) ? 1 : 0;
    }
    return GetErrorLogPath_FromIni(kind, name, out);
  } catch (...) {
    return 0;
  }
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
