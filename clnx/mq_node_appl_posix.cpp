// The process's name on Linux: the command name the kernel keeps for the process
// (/proc/self/comm, else the C library's short invocation name), read without a shell or
// temporary file. The application name made of it is in mq_node_appl.cpp.
#include <cerrno>
#include <cstdio>
#include <string>

#include "mq_node_internal.h"

namespace {

constexpr const char* kCommandNameFile = "/proc/self/comm";
constexpr int kLineMax = 512;

}  // namespace

namespace vrq::node {

const char* PlatformName() { return "UNIX"; }

std::string ProcessName() {
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

}  // namespace vrq::node
