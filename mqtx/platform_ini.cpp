// Installation discovery from MQ's own files: the queue managers and the default one in
// mqs.ini (plus the proxy list "mqproxy.ini"), the remote queue managers of a group file,
// a queue manager's log settings from its qm.ini (or the LogDefaults of mqs.ini) and its
// error-log directory. Files are loaded with the toolkit's ini reader; the stanza lines
// of MQ's files are then split here.
#include <cmqc.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform_internal.h"

namespace vrq::platform {

namespace {

constexpr const char* kMqsIni = "mqs.ini";
constexpr const char* kQmIni = "qm.ini";
constexpr const char* kProxyIni = "mqproxy.ini";
constexpr const char* kGroupFileFormat = "%s.ini";
constexpr const char* kErrorsDir = "errors";
constexpr const char* kQmgrsDir = "qmgrs";

constexpr const char* kMqsKeyDelims = " \n\t=";
constexpr const char* kMqsValueTerms = " \n\t";
constexpr const char* kProxyKeyDelims = "\n=";
constexpr const char* kProxyValueTerms = " \n\t";
constexpr const char* kGroupKeyDelims = "\n=";
constexpr const char* kGroupValueTerms = " \r\n\t";

constexpr const char* kFopenError = "Error in fopen()\n";
constexpr const char* kCannotOpenMqs = "0104W Could not open \"%s\"\n%s";
constexpr const char* kCannotReadGroup = "0108E Unable to read <%s> file\n";

constexpr const char* kProxyKey = "QueueManager::*";
constexpr const char* kGroupKey = "QMNAME";
constexpr const char* kGroupDefault = "DEFAULT";
constexpr int kGroupDefaultParameter = 20011;

constexpr std::string_view kQueueManagerStanza = "QueueManager";
constexpr std::string_view kDefaultQmgrStanza = "DefaultQueueManager";
constexpr std::string_view kAllQmgrsStanza = "AllQueueManagers";
constexpr std::string_view kLogDefaultsStanza = "LogDefaults";
constexpr std::string_view kLogStanza = "Log";

constexpr int kNameLength = 48;
constexpr int kLogCircular = 2;
constexpr int kLogLinear = 3;
constexpr std::string_view kCircular = "CIRCULAR";

constexpr std::string_view kBlanks = " \t\r\n";

// The value of a key=value line: leading blanks skipped, then up to the first blank.
std::string_view FirstWord(std::string_view s) {
  s = Trim(s);
  return s.substr(0, s.find_first_of(kBlanks));
}

// An ini handle released when it goes out of scope.
class Ini {
 public:
  Ini() = default;
  Ini(const Ini&) = delete;
  Ini& operator=(const Ini&) = delete;
  ~Ini() { vrqCloseIniFile(&file_); }
  bool Load(const std::string& path, const char* keyDelims, const char* valueTerms) {
    return vrqLoadFile(path.c_str(), keyDelims, valueTerms, &file_, error_) == 1;
  }
  bool Open(const char* name, const char* keyDelims, const char* valueTerms) {
    return vrqOpenIniFile(name, keyDelims, valueTerms, &file_, error_, 1) == 1;
  }
  std::string_view Text() const {
    return file_.pText == nullptr ? std::string_view{} : std::string_view(file_.pText, file_.ulSize);
  }
  IniFile* Handle() { return &file_; }
  const char* Error() const { return error_; }
  int OpenErrno() const { return file_.lOpenErrno; }

 private:
  IniFile file_{};
  char error_[VRQ_INI_ERRTEXT_SIZE] = {};
};

std::string MqsIniPath() { return JoinPath(ConfigRoot(), kMqsIni); }

// Every value of keyMask in the loaded file, in file order.
template <typename Visit>
void ForEachValue(Ini& ini, const char* keyMask, Visit visit) {
  std::string value(VRQ_INI_VALUE_SIZE, '\0');
  for (int from = 1; vrqGetValue(ini.Handle(), keyMask, value.data(), from) == 1; from = 0) {
    if (!visit(Trim(std::string_view(value.c_str())))) return;
  }
}

const Stanza* FindQueueManager(const std::vector<Stanza>& stanzas, std::string_view name) {
  for (const Stanza& s : stanzas)
    if (s.name == kQueueManagerStanza && s.Value("Name") == name) return &s;
  return nullptr;
}

const Stanza* FindStanza(const std::vector<Stanza>& stanzas, std::string_view name) {
  for (const Stanza& s : stanzas)
    if (s.name == name) return &s;
  return nullptr;
}

int32_t ToInt(std::string_view text) {
  int32_t v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

// Fills the log record from the values of a Log or LogDefaults stanza.
void ReadLogStanza(const Stanza& stanza, std::string_view pathKey, MQLogInfo* info) {
  for (const auto& [key, value] : stanza.values) {
    if (key == "LogPrimaryFiles") info->lPrimaryFiles = ToInt(value);
    else if (key == "LogSecondaryFiles") info->lSecondaryFiles = ToInt(value);
    else if (key == "LogFilePages") info->lFilePages = ToInt(value);
    else if (key == "LogBufferPages") info->lBufferPages = ToInt(value);
    else if (key == "LogType") info->lLogType = LogTypeOf(value);
    else if (key == pathKey) {
      const std::string_view path = value.substr(0, sizeof info->szLogPath - 1);
      if (!path.empty()) std::memcpy(info->szLogPath, path.data(), path.size());
      info->szLogPath[path.size()] = '\0';
    }
  }
}

void AppendNameList(PcfMessage* message, int parameter, const std::vector<std::string>& names) {
  MESSAGE attr{};
  if (CreatePcfStrListAttr(&attr, parameter, static_cast<int>(names.size()), kNameLength) != 1)
    return;
  for (std::size_t i = 0; i < names.size(); ++i)
    SetPcfStrListAttrValue(&attr, static_cast<int>(i), names[i].c_str());
  AppendAttr(message, &attr);
  DeleteMessage(&attr);
}

std::string Cut(std::string_view name) { return std::string(name.substr(0, kNameLength)); }

// A queue manager name MQ accepts: 1 to 48 of A-Z a-z 0-9 . / _ %. Nothing else may become
// a directory name under qmgrs (no "\\", ":", blank or other character of a path).
bool IsQueueManagerName(std::string_view name) {
  if (name.empty() || name.size() > kNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '/' || c == '_' || c == '%';
  });
}

}  // namespace

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string_view Stanza::Value(std::string_view key) const {
  for (const auto& [k, v] : values)
    if (k == key) return v;
  return {};
}

std::vector<Stanza> ParseStanzas(std::string_view text) {
  std::vector<Stanza> stanzas;
  while (!text.empty()) {
    const auto eol = text.find('\n');
    const std::string_view line = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
      if (line.back() == ':') stanzas.push_back({Trim(line.substr(0, line.size() - 1)), {}});
      continue;
    }
    if (!stanzas.empty())
      stanzas.back().values.emplace_back(Trim(line.substr(0, eq)), FirstWord(line.substr(eq + 1)));
  }
  return stanzas;
}

std::string JoinPath(std::string path, std::string_view name) {
  if (!path.empty() && !IsSeparator(path.back())) path += Separator();
  path += name;
  return path;
}

std::optional<std::string> QueueManagerDirectory(const char* name) {
  if (name == nullptr || *name == '\0') return std::nullopt;
  Ini mqs;
  if (!mqs.Load(MqsIniPath(), kMqsKeyDelims, kMqsValueTerms)) {
    std::string directory(Trim(name));
    if (!IsQueueManagerName(directory)) return std::nullopt;
    std::replace(directory.begin(), directory.end(), '.', '!');
    std::replace(directory.begin(), directory.end(), '/', '&');
    return JoinPath(JoinPath(DefaultPrefix(), kQmgrsDir), directory);
  }
  const std::vector<Stanza> stanzas = ParseStanzas(mqs.Text());
  const Stanza* qm = FindQueueManager(stanzas, Trim(name));
  if (qm == nullptr) return std::nullopt;
  const std::string_view dataPath = qm->Value("DataPath");
  if (!dataPath.empty()) return std::string(dataPath);
  return JoinPath(JoinPath(std::string(qm->Value("Prefix")), kQmgrsDir), qm->Value("Directory"));
}

bool CopyOut(std::string_view text, char* out, std::size_t room) {
  if (out == nullptr || text.size() >= room) return false;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return true;
}

}  // namespace vrq::platform

using namespace vrq::platform;

extern "C" {

VRQMQTX_LINUX_API int Get_QMgr_Names(PcfMessage* message, const char* mask) {
  if (message == nullptr) return 0;
  try {
    const std::string path = MqsIniPath();
    Ini mqs;
    std::vector<std::string> stored;
    if (mqs.Load(path, kMqsKeyDelims, kMqsValueTerms)) {
      for (const Stanza& s : ParseStanzas(mqs.Text()))
        if (s.name == kQueueManagerStanza) stored.emplace_back(s.Value("Name"));
    } else if (!QueueManagersWithoutMqsIni(&stored)) {
      std::printf("%s%s\n", kFopenError, std::strerror(mqs.OpenErrno()));
      char text[VRQ_INI_ERRTEXT_SIZE + 1100];
      std::snprintf(text, sizeof text, kCannotOpenMqs, path.c_str(), mqs.Error());
      LOGMSG(text, 1);
      if (message->pPcfHdr != nullptr) {
        message->pPcfHdr->CompCode = MQCC_FAILED;
        message->pPcfHdr->Reason = MQRC_UNKNOWN_OBJECT_Q_MGR;  // no queue manager is known
      }
      return 0;
    }
    const char* filter = mask != nullptr ? mask : "*";
    std::vector<std::string> names;
    for (const std::string& entry : stored) {
      if (names.size() >= VRQ_MAX_QMGR_NAMES) break;
      const std::string name = Cut(Trim(entry));
      if (name.empty() || IsMaskMatch(filter, name.c_str()) != 1) continue;
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    Ini proxy;
    if (proxy.Open(kProxyIni, kProxyKeyDelims, kProxyValueTerms)) {
      ForEachValue(proxy, kProxyKey, [&](std::string_view name) {
        if (names.size() >= VRQ_MAX_QMGR_NAMES) return false;
        names.push_back(Cut(name));
        return true;
      });
    }
    AppendNameList(message, MQCA_Q_MGR_NAME, names);
    RawToPcf(message);
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"

namespace vrq::platform {

int DefaultQmgrFromIni(char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  std::memset(out, 0, static_cast<std::size_t>(size));
  try {
    Ini mqs;
    if (!mqs.Load(MqsIniPath(), kMqsKeyDelims, kMqsValueTerms)) return 0;
    const std::vector<Stanza> stanzas = ParseStanzas(mqs.Text());
    const Stanza* def = FindStanza(stanzas, kDefaultQmgrStanza);
    if (def == nullptr) return 0;
    const std::string_view name = def->Value("Name");
    if (name.empty()) return 0;
    // size characters at most, and always a terminator inside the buffer.
    const std::size_t n = std::min(name.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, name.data(), n);
    return 1;
  } catch (...) {
    return 0;
  }
}

int RemoteQMgrNamesFromIni(PcfMessage* message, const char* group) {
  if (message == nullptr || group == nullptr) return 0;
  try {
    std::string file(group);
    std::erase(file, ' ');
    char fileName[VRQ_INI_PATH_MAX + 1];
    if (std::snprintf(fileName, sizeof fileName, kGroupFileFormat, file.c_str()) >=
        static_cast<int>(sizeof fileName))
      return 0;
    std::vector<std::string> names;
    Ini ini;
    if (ini.Open(fileName, kGroupKeyDelims, kGroupValueTerms)) {
      ForEachValue(ini, kGroupKey, [&](std::string_view name) {
        names.push_back(Cut(name));
        return true;
      });
    } else {
      LogUnreadableGroup(fileName);
    }
    return AppendRemoteQMgrLists(message, names);
  } catch (...) {
    return 0;
  }
}

int AppendRemoteQMgrLists(PcfMessage* message, const std::vector<std::string>& names) {
  std::vector<std::string> cut;
  cut.reserve(names.size());
  for (const std::string& name : names) cut.push_back(Cut(name));
  const std::vector<std::string> defaults(cut.size(), kGroupDefault);
  AppendNameList(message, kGroupDefaultParameter, defaults);
  AppendNameList(message, MQCA_Q_MGR_NAME, cut);
  RawToPcf(message);
  return cut.empty() ? 0 : 1;
}

void LogUnreadableGroup(const char* source) {
  const char* name = source != nullptr ? source : "";
  std::vector<char> text(std::strlen(name) + std::strlen(kCannotReadGroup) + 1);
  std::snprintf(text.data(), text.size(), kCannotReadGroup, name);
  LOGMSG(text.data(), 1);
}

int LogInfoFromQmIni(const std::string& path, MQLogInfo* info) {
  if (info == nullptr) return 0;
  *info = MQLogInfo{};
  Ini qm;
  if (!qm.Load(path, kMqsKeyDelims, kMqsValueTerms)) return 0;
  const std::vector<Stanza> stanzas = ParseStanzas(qm.Text());
  if (const Stanza* s = FindStanza(stanzas, kLogStanza)) ReadLogStanza(*s, "LogPath", info);
  return 1;
}

int32_t LogTypeOf(std::string_view text) {
  return text.starts_with(kCircular) ? kLogCircular : kLogLinear;
}

}  // namespace vrq::platform

extern "C" {

VRQMQTX_LINUX_API int GetMQLogInfo_FromIni(const char* name, MQLogInfo* info) {
  if (info == nullptr) return 0;
  *info = MQLogInfo{};
  try {
    if (name == nullptr || *name == '\0') {
      Ini mqs;
      if (!mqs.Load(MqsIniPath(), kMqsKeyDelims, kMqsValueTerms)) return 0;
      const std::vector<Stanza> stanzas = ParseStanzas(mqs.Text());
      if (const Stanza* s = FindStanza(stanzas, kLogDefaultsStanza))
        ReadLogStanza(*s, "LogDefaultPath", info);
      return 1;
    }
    const std::optional<std::string> directory = QueueManagerDirectory(name);
    if (!directory) return 0;
    return LogInfoFromQmIni(JoinPath(*directory, kQmIni), info);
  } catch (...) {
    return 0;
  }
}

VRQMQTX_LINUX_API int GetErrorLogPath_FromIni(int kind, const char* name, char* out) {
  if (out == nullptr) return 0;
  try {
    if (kind == VRQ_ERRLOG_QMGR) {
      const std::optional<std::string> directory = QueueManagerDirectory(name);
      return directory && CopyOut(JoinPath(*directory, kErrorsDir), out, VRQ_PL_PATH_SIZE) ? 1 : 0;
    }
    Ini mqs;
    if (!mqs.Load(MqsIniPath(), kMqsKeyDelims, kMqsValueTerms)) return 0;
    const std::vector<Stanza> stanzas = ParseStanzas(mqs.Text());
    const Stanza* all = FindStanza(stanzas, kAllQmgrsStanza);
    const std::string prefix(all != nullptr ? all->Value("DefaultPrefix") : std::string_view{});
    return CopyOut(JoinPath(prefix, kErrorsDir), out, VRQ_PL_PATH_SIZE) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
