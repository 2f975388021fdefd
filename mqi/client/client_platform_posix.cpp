// The client's system side on POSIX systems: the queue manager's Unix-domain socket
// (or loopback TCP when VRQSIM_TCP_PORT is set), /proc/self/exe and the password database.
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "client_platform.h"
#include "platform.h"
#include "qm_dir.h"
#include "socket_io.h"

namespace vrqsim::client {

bool QueueManagerExists(const std::string& name) { return access(QmDir(name).c_str(), F_OK) == 0; }

int ConnectQueueManager(const std::string& name) {
  if (std::getenv(kTcpPortEnv) != nullptr) return ConnectQueueManagerTcp(name);
  return ConnectUnix(SocketPath(name));
}

std::string ProgramName() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "unknown";
  std::string s(path, static_cast<size_t>(n));
  return s.substr(s.rfind('/') + 1).substr(0, 28);
}

std::string UserName() {
  if (const passwd* pw = getpwuid(geteuid())) return std::string(pw->pw_name).substr(0, 12);
  return std::to_string(geteuid()).substr(0, 12);
}

}  // namespace vrqsim::client
