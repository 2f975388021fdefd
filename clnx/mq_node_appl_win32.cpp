// The process's name on Windows: the executable's file name without its directory and
// extension (the application name made of it is in mq_node_appl.cpp); the platform text
// and the user name every node carries.
#include <windows.h>

#include <cstring>
#include <string>

#include "mq_node_internal.h"

namespace vrq::node {

std::string ProcessName() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return {};
  std::string name(path, n);
  if (const size_t slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  return name;
}

const char* PlatformName() { return "WIN32"; }

int CurrentUserName(char* buffer, int* size) {
  if (buffer == nullptr || size == nullptr || *size <= 0) return 0;
  std::memset(buffer, 0, static_cast<std::size_t>(*size));
  DWORD room = static_cast<DWORD>(*size);
  if (!GetUserNameA(buffer, &room)) {
    std::memset(buffer, 0, static_cast<std::size_t>(*size));
    *size = 0;
    return 0;
  }
  *size = static_cast<int>(strnlen(buffer, static_cast<std::size_t>(*size)));
  return 1;
}

}  // namespace vrq::node
