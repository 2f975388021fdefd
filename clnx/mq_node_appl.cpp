// The process's application name, the same on every platform: its name (ProcessName, in
// mq_node_appl_posix.cpp and mq_node_appl_win32.cpp) with blanks removed, upper-cased; and
// the name a program may set for itself.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "mq_node_internal.h"

namespace {

constexpr const char* kUnknownName = "UNKNOWN";

char g_appl_name[MQNODE_APPL_NAME_SIZE + 1] = {};

}  // namespace

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
  for (const char c : vrq::node::ProcessName().substr(0, MQNODE_APPL_NAME_SIZE)) {
    if (c != ' ') name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
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
