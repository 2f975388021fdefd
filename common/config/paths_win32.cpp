// Installation directory on Windows: the default, overridden by the parent of the working
// directory and then by the WorkPath value of the toolkit's registry key.
#include <direct.h>
#include <windows.h>

#include <cstdio>

#include "paths_platform.h"

namespace vrq::paths {

namespace {

constexpr const char* kDefaultInstallDir = "c:\\orvane\\vxwmq";
constexpr const char* kRegistryKey = "Software\\Orvane\\Veltrix/WMQ";
constexpr const char* kRegistryValue = "WorkPath";

// The registry's WorkPath, when the key holds it as a text that fits (REG_SZ, or
// REG_EXPAND_SZ taken as it stands) and is not empty; a number or binary value is no path.
bool RegistryWorkPath(char* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  char value[kInstallDirRoom] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, kRegistryValue, nullptr, &type,
                             reinterpret_cast<LPBYTE>(value), &size);
  RegCloseKey(key);
  // value keeps its last byte 0, so a text stored without its terminator ends there.
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || value[0] == '\0')
    return false;
  std::snprintf(out, kInstallDirRoom, "%s", value);
  return true;
}

}  // namespace

void PlatformInstallDir(char* buffer) {
  std::snprintf(buffer, kInstallDirRoom, "%s", kDefaultInstallDir);
  char cwd[kInstallDirRoom];
  if (_getcwd(cwd, sizeof cwd) == nullptr) return;
  if (CutToParent(cwd)) std::snprintf(buffer, kInstallDirRoom, "%s", cwd);
  RegistryWorkPath(buffer);
}

}  // namespace vrq::paths
