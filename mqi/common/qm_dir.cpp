// Paths of a stand-in queue manager's files and the object-name rule shared by the client
// library, the server and its command line.
#include "qm_dir.h"

#include <cstdlib>
#include <fstream>

#include "platform.h"

namespace vrqsim {

std::string SimDir() {
  const char* env = std::getenv(kDirEnv);
  if (env && *env) return env;
  return "/tmp/vrqsim-" + UserTag();
}

std::string QmDir(std::string_view qm) { return SimDir() + "/" + std::string(qm); }
std::string SocketPath(std::string_view qm) { return QmDir(qm) + "/qm.sock"; }
std::string PidPath(std::string_view qm) { return QmDir(qm) + "/qm.pid"; }
std::string DefinitionsPath(std::string_view qm) { return QmDir(qm) + "/qm.defs"; }
std::string LogPath(std::string_view qm) { return QmDir(qm) + "/qm.log"; }
std::string PortPath(std::string_view qm) { return QmDir(qm) + "/qm.port"; }
std::string DefaultQmPath() { return SimDir() + "/default"; }

bool ValidObjectName(std::string_view name) {
  if (name.empty() || name.size() > 48) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '/' || c == '%';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::string> DefaultQmName() {
  std::ifstream in(DefaultQmPath());
  std::string name;
  if (!(in >> name) || !ValidObjectName(name)) return std::nullopt;
  return name;
}

}  // namespace vrqsim
