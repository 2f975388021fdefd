// Installation discovery, Linux side: the configuration root from VXWMQ_MQS_HOME (else
// /var/mqm), directory listings with modification times, absolute paths beginning with
// "/", the exported operations that Windows answers from the registry instead, and the
// re-entrant tokenizer exported by this build only.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform_internal.h"

namespace vrq::platform {

namespace {
constexpr const char* kConfigRootEnv = "VXWMQ_MQS_HOME";
constexpr const char* kDefaultRoot = "/var/mqm";
constexpr const char* kInstallRoot = "/opt/mqm";

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
}  // namespace

std::string ConfigRoot() {
  const char* home = std::getenv(kConfigRootEnv);
  return home != nullptr ? home : kDefaultRoot;
}

const char* DefaultPrefix() { return kDefaultRoot; }

bool ListDirectory(const std::string& directory, std::vector<DirEntry>* entries) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
  if (!dir) return false;
  while (const dirent* e = readdir(dir.get())) {
    struct stat st{};
    const std::string full = directory + e->d_name;
    const int64_t modified = stat(full.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : 0;
    entries->push_back({e->d_name, modified});
  }
  return true;
}

bool IsRelative(const char* path) { return path != nullptr && path[0] != '/'; }

char Separator() { return '/'; }

bool IsSeparator(char c) { return c == '/'; }

// Every Linux installation keeps its queue managers in mqs.ini.
bool QueueManagersWithoutMqsIni(std::vector<std::string>*) { return false; }

}  // namespace vrq::platform

using namespace vrq::platform;

extern "C" {

VRQMQTX_API int GetBaseWMQPath(char* out) {
  if (out == nullptr) return 0;
  std::strcpy(out, kInstallRoot);
  return 1;
}

VRQMQTX_API int GetDefaultQmgr(char* out, int size) { return DefaultQmgrFromIni(out, size); }

VRQMQTX_API int GetRemoteQMgrNames(PcfMessage* message, const char* group) {
  return RemoteQMgrNamesFromIni(message, group);
}

VRQMQTX_API int GetMQLogInfo(const char* name, MQLogInfo* info) {
  return GetMQLogInfo_FromIni(name, info);
}

VRQMQTX_API int GetErrorLogPath(int kind, const char* name, char* out) {
  return GetErrorLogPath_FromIni(kind, name, out);
}

VRQMQTX_API char* pltfm_strtok_r(char* text, const char* separators, char** cursor) {
  if (separators == nullptr || cursor == nullptr) return nullptr;
  char* p = text != nullptr ? text : *cursor;
  if (p == nullptr) return nullptr;
  p += std::strspn(p, separators);
  if (*p == '\0') {
    *cursor = p;
    return nullptr;
  }
  char* end = p + std::strcspn(p, separators);
  if (*end != '\0') *end++ = '\0';
  *cursor = end;
  return p;
}

}  // extern "C"
