// Installation discovery: the MQPlatform record and its read operations, the error-log
// file listing with its name filter, and the platform-neutral helpers (relative and
// absolute paths, character substitution).
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform_internal.h"

namespace {

using vrq::platform::CopyOut;
using vrq::platform::JoinPath;

constexpr const char* kPlatformTag = "MQPlatform";
constexpr const char* kAllNames = "*";

static_assert(offsetof(MQPlatform, szName) == 4);
static_assert(offsetof(MQPlatform, lReserved) == 32);
static_assert(offsetof(MQPlatform, Read) == (sizeof(void*) == 8 ? 40 : 36));
static_assert(offsetof(MQLogInfo, lLogType) == 260);
static_assert(sizeof(MQLogInfo) == 280);

constexpr std::string_view kErrorLogLead = "AMQ";
constexpr std::string_view kLogSuffix = ".LOG";
constexpr std::string_view kFdcSuffix = ".FDC";
constexpr std::size_t kMinErrorLogName = 7;

// Error-log files are AMQ*: filter 0 takes them all, 1 the logs, any other the FDC files.
bool MatchesFilter(std::string_view name, int filter) {
  if (name.size() < kMinErrorLogName || !name.starts_with(kErrorLogLead)) return false;
  if (filter == VRQ_ERRLOG_ALL) return true;
  return name.ends_with(filter == VRQ_ERRLOG_LOGS ? kLogSuffix : kFdcSuffix);
}

// Counts the ".." steps at the start of a relative path and moves *cursor past the
// leading "./", "../" and "/" parts.
int CalcRelDirLevels(const char** cursor) {
  int levels = 0;
  const char* p = *cursor;
  for (;;) {
    if (p[0] == '.' && p[1] == '.' && (p[2] == '/' || p[2] == '\0')) {
      ++levels;
      p += p[2] == '/' ? 3 : 2;
    } else if (p[0] == '.' && (p[1] == '/' || p[1] == '\0')) {
      p += p[1] == '/' ? 2 : 1;
    } else if (p[0] == '/') {
      ++p;
    } else {
      break;
    }
  }
  *cursor = p;
  return levels;
}

std::string DropLastComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const auto slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

}  // namespace

extern "C" {

VRQMQTX_API MQPlatform* CreateMQPlatform(const char* name) {
  void* block = nullptr;
  if (fNewMemory(&block, sizeof(MQPlatform), kPlatformTag) != 1 || block == nullptr)
    return nullptr;
  auto* platform = static_cast<MQPlatform*>(block);
  *platform = MQPlatform{};
  platform->lKind = MQPLATFORM_KIND;
  if (name != nullptr) {
    const std::size_t n = strnlen(name, sizeof platform->szName - 1);
    std::memcpy(platform->szName, name, n);
  }
  platform->lReserved = 0;
  platform->Read = plRead;
  return platform;
}

VRQMQTX_API int DeleteMQPlatform(MQPlatform* platform) {
  if (platform == nullptr) return 0;
  FreeMemory(platform);
  return 1;
}

VRQMQTX_API int plRead(PcfMessage* message, MQPlatform* platform) {
  return plReadWithMask(message, platform, kAllNames);
}

VRQMQTX_API int plReadWithMask(PcfMessage* message, MQPlatform*, const char* mask) {
  return Get_QMgr_Names(message, mask);
}

VRQMQTX_API int plReadByProject(PcfMessage*, MQPlatform*, const char*) { return 0; }

VRQMQTX_API int GetErrorLogNames(const char* directory, int filter, MESSAGE* names,
                                 MESSAGE* times) {
  if (directory == nullptr || names == nullptr || times == nullptr) return 0;
  try {
    std::string dir(directory);
    if (dir.empty() || !vrq::platform::IsSeparator(dir.back())) dir += vrq::platform::Separator();
    std::vector<vrq::platform::DirEntry> entries;
    if (!vrq::platform::ListDirectory(dir, &entries)) return 0;
    int i = 0;
    for (const auto& e : entries) {
      if (!MatchesFilter(e.name, filter)) continue;
      SetPcfStrListAttrValue(names, i, e.name.c_str());
      SetPcfIntListAttrValue(times, i, static_cast<int>(e.modified));
      ++i;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

VRQMQTX_API int IsPathRelative(const char* path) {
  return vrq::platform::IsRelative(path) ? 1 : 0;
}

VRQMQTX_API int RelPathToAbs(char* path, const char* base) {
  if (path == nullptr || base == nullptr) return 0;
  try {
    if (*path == '\0') return CopyOut(base, path, VRQ_PL_PATH_SIZE) ? 1 : 0;
    const char* rest = path;
    std::string result(base);
    for (int levels = CalcRelDirLevels(&rest); levels > 0; --levels)
      result = DropLastComponent(result);
    result = JoinPath(result, rest);
    return CopyOut(result, path, VRQ_PL_PATH_SIZE) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VRQMQTX_API int AbsPathToRel(const char* path, const char* base, char* out) {
  if (path == nullptr || base == nullptr || out == nullptr) return 0;
  try {
    const auto pathParts = Components(path);
    const auto baseParts = Components(base);
    std::size_t common = 0;
    while (common < pathParts.size() && common < baseParts.size() &&
           pathParts[common] == baseParts[common])
      ++common;
    std::string result;
    for (std::size_t i = common; i < baseParts.size(); ++i) result += "../";
    for (std::size_t i = common; i < pathParts.size(); ++i) {
      result += pathParts[i];
      if (i + 1 < pathParts.size()) result += '/';
    }
    return CopyOut(result, out, VRQ_PL_PATH_SIZE) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VRQMQTX_API char* CharSubstitute(char* text, char from, char to) {
  if (text == nullptr) return nullptr;
  for (char* p = text; *p != '\0'; ++p)
    if (*p == from) *p = to;
  return text;
}

}  // extern "C"
