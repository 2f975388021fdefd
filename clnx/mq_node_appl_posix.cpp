// The process's application name on Linux: the command name the kernel keeps for the
// process (/proc/self/comm, else the C library's short invocation name), read without a
// shell or temporary file; and the name a program may set for itself.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "mq_node_internal.h"

namespace {

constexpr const char* kUnknownName = "UNKNOWN";
constexpr const char* kCommandNameFile = "/proc/self/comm";
constexpr int kLineMax = 512;

char g_appl_name[MQNODE_APPL_NAME_SIZE + 1] = {};

std::string CommandName() {
  std::string line;
  if (FILE* file = std::fopen(kCommandNameFile, "r"); file != nullptr) {
    char text[kLineMax + 1] = {};
    if (std::fgets(text, sizeof text, file) != nullptr) line = text;
    std::fclose(file);
  }
  if (line.empty() && program_invocation_short_name != nullptr) line = program_invocation_short_name;
  if (const size_t end = line.find_first_of("\r\n"); end != std::string::npos) line.resize(end);
  return line;
}

}  // namespace

namespace vrq::node {
const char* PlatformName() { return "UNIX"; }
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
  for (const char c : CommandName().substr(0, MQNODE_APPL_NAME_SIZE)) {
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
