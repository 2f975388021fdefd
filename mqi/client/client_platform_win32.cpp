// The client's system side on Windows: queue managers are reached over loopback TCP, the
// program name comes from the module file name and the user from GetUserNameA.
#include <windows.h>

#include "client_platform.h"
#include "qm_dir.h"

namespace vrqsim::client {

bool QueueManagerExists(const std::string& name) {
  return GetFileAttributesA(QmDir(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int ConnectQueueManager(const std::string& name) { return ConnectQueueManagerTcp(name); }

std::string ProgramName() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return "unknown";
  std::string s(path, n);
  return s.substr(s.find_last_of("\\/") + 1).substr(0, 28);
}

std::string UserName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetUserNameA(name, &size)) return "unknown";
  return std::string(name).substr(0, 12);
}

}  // namespace vrqsim::client
