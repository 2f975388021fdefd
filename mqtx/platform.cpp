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
// leading "./", "../" and separator parts (Windows takes "\\" as well as "/").
int CalcRelDirLevels(const char** cursor) {
  using vrq::platform::IsSeparator;
  int levels = 0;
  const char* p = *cursor;
  for (;;) {
    if (p[0] == '.' && p[1] == '.' && (IsSeparator(p[2]) || p[2] == '\0')) {
      ++levels;
      p += p[2] != '\0' ? 3 : 2;
    } else if (p[0] == '.' && (IsSeparator(p[1]) || p[1] == '\0')) {
      p += p[1] != '\0' ? 2 : 1;
    } else if (IsSeparator(p[0])) {
      ++p;
    } else {
      break;
    }
  }
  *cursor = p;
  return levels;
}

// The length of the root a path begins with, which climbing never removes: "/" on Linux;
// on Windows the drive ("C:" or "C:\\") or a leading separator.
std::size_t RootLength(const std::string& path) {
  std::size_t n = 0;
  if (vrq::platform::Separator() == '\\' && !vrq::platform::IsRelative(path.c_str())) n = 2;
  if (n < path.size() && vrq::platform::IsSeparator(path[n])) ++n;
  return n;
}

// path without its last component; empty for a relative path of one component.
std::string DropLastComponent(std::string path) {
  using vrq::platform::IsSeparator;
  const std::size_t root = RootLength(path);
  while (path.size() > root && IsSeparator(path.back())) path.pop_back();
  std::size_t cut = path.size();
  while (cut > root && !IsSeparator(path[cut - 1])) --cut;
  if (cut == 0) return {};
  while (cut > root && IsSeparator(path[cut - 1])) --cut;
  path.resize(cut);
  return path;
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    std::size_t end = 0;
    while (end < path.size() && !vrq::platform::IsSeparator(path[end])) ++end;
    if (end > 0) parts.push_back(path.substr(0, end));
    path.remove_prefix(end < path.size() ? end + 1 : end);
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
