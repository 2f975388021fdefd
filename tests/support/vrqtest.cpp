// Shared test helpers (see vrqtest.h): the parts every platform shares.
#include "vrqtest.h"

#ifdef _WIN32
#  include "win32/posix_compat.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace vrqtest {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Install::Install() {
  std::filesystem::create_directories(dir.path() + "/config/groups");
  setenv("VXWMQ_HOME", dir.path().c_str(), 1);
}

Install::~Install() { unsetenv("VXWMQ_HOME"); }

void Install::Write(const std::string& name, const std::string& text) const {
  WriteFile(dir.path() + "/config/groups/" + name, text);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string DataFile(const std::string& name) { return ReadFile(std::string(VRQ_TEST_DATA) + "/" + name); }

std::string Mask(const std::string& text, const std::string& pattern, const std::string& mask) {
  return std::regex_replace(text, std::regex(pattern), mask);
}

}  // namespace vrqtest
