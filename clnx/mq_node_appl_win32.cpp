// The process's application name on Windows: the executable's file name without its
// directory and extension, upper-cased; the name a program may set for itself; the
// platform text and the user name every node carries.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "mq_node_internal.h"

namespace {

constexpr const char* kUnknownName = "UNKNOWN";

char g_appl_name[MQNODE_APPL_NAME_SIZE + 1] = {};

std::string ExecutableName() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return {};
  std::string name(path, n);
  if (const size_t slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace

namespace vrq::node {

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

extern "C" {

VRQCLNX_API int SetApplName(const char* name) {
  std::memset(g_appl_name, 0, sizeof g_appl_name);
  if (name != nullptr) std::memcpy(g_appl_name, name, strnlen(name, MQNODE_APPL_NAME_SIZE));
  return 1;
}

VRQCLNX_API int GetApplName(char* out, int* length) {
  if (out == nullptr || length == nullptr || *length <= 0) return 0;
  const auto room = static_cast<size_t>(*length);
  std::memset(out, 0, room);
  std::memcpy(out, kUnknownName, std::min(std::strlen(kUnknownName), room - 1));
  std::string name;
  for (const char c : ExecutableName().substr(0, MQNODE_APPL_NAME_SIZE))
    name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  if (name.empty()) {
    *length = 0;
    return 1;
  }
  const size_t kept = name.size() < room ? name.size() : room;
  std::memset(out, 0, room);
  std::memcpy(out, name.data(), kept);
  *length = static_cast<int>(kept);
  return 1;
}

}  // extern "C"
