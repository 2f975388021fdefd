// Writes the mqs.ini stanza and qm.ini of a created stand-in queue manager under the
// configuration root named by VXWMQ_MQS_HOME, laid out as an MQ installation keeps them.
#include "installation.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace vrqsim {

namespace {

constexpr const char* kRootEnv = "VXWMQ_MQS_HOME";

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Points the DefaultQueueManager stanza at qm, adding the stanza when there is none.
void SetDefault(std::vector<std::string>& lines, const std::string& qm) {
  const auto stanza = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return Trimmed(l) == "DefaultQueueManager:";
  });
  if (stanza == lines.end()) {
    lines.push_back("DefaultQueueManager:");
    lines.push_back("   Name=" + qm);
    return;
  }
  for (auto it = stanza + 1; it != lines.end() && Trimmed(*it).find('=') != std::string::npos; ++it) {
    if (Trimmed(*it).rfind("Name", 0) == 0) {
      *it = "   Name=" + qm;
      return;
    }
  }
  lines.insert(stanza + 1, "   Name=" + qm);
}

bool HasDefault(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& l) { return Trimmed(l) == "DefaultQueueManager:"; });
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::trunc);
  for (const std::string& l : lines) out << l << "\n";
  return static_cast<bool>(out);
}

}  // namespace

bool RegisterInInstallation(const std::string& qm, bool make_default, std::string& error) {
  const char* root_env = std::getenv(kRootEnv);
  if (root_env == nullptr || *root_env == '\0') return true;
  const std::string root = root_env;
  std::string directory = qm;
  std::replace(directory.begin(), directory.end(), '.', '!');
  const std::string mqs = root + "/mqs.ini";
  const std::string qm_dir = root + "/qmgrs/" + directory;
  const std::string log_dir = root + "/log/" + directory;
  std::error_code ec;
  fs::create_directories(qm_dir + "/errors", ec);
  fs::create_directories(log_dir, ec);

  std::vector<std::string> lines = Lines(mqs);
  if (lines.empty()) {
    lines = {"AllQueueManagers:", "   DefaultPrefix=" + root, "LogDefaults:",
             "   LogPrimaryFiles=3", "   LogSecondaryFiles=2", "   LogFilePages=4096",
             "   LogType=CIRCULAR", "   LogBufferPages=0", "   LogDefaultPath=" + root + "/log"};
  }
  lines.insert(lines.end(), {"QueueManager:", "   Name=" + qm, "   Prefix=" + root,
                             "   Directory=" + directory});
  if (make_default || !HasDefault(lines)) SetDefault(lines, qm);
  if (!WriteLines(mqs, lines)) {
    error = "cannot write " + mqs;
    return false;
  }
  std::ostringstream ini;
  ini << "Log:\n   LogPrimaryFiles=3\n   LogSecondaryFiles=2\n   LogFilePages=4096\n"
      << "   LogType=CIRCULAR\n   LogBufferPages=0\n   LogPath=" << log_dir << "/\n";
  if (!WriteLines(qm_dir + "/qm.ini", {ini.str()})) {
    error = "cannot write " + qm_dir + "/qm.ini";
    return false;
  }
  return true;
}

}  // namespace vrqsim
