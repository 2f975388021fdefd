// The client's system side on POSIX systems: the queue manager's Unix-domain socket
// (or loopback TCP when VRQSIM_TCP_PORT is set), /proc/self/exe and the password database.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <cmqc.h>

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

int ConnectHost(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int rc;
    do rc = connect(fd, a->ai_addr, a->ai_addrlen);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      close(fd);
      fd = -1;
      continue;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  freeaddrinfo(found);
  return fd;
}

// A length byte, the numeric user id in text, binary zeros, and the token type last.
std::string AccountingToken() {
  std::string id = std::to_string(geteuid());
  std::string token(32, '\0');
  token[0] = static_cast<char>(id.size());
  token.replace(1, id.size(), id);
  token[31] = MQACTT_UNIX_NUMERIC_ID;
  return token;
}

// The reentrant look-up: threads of one program may connect at the same time.
std::string UserName() {
  passwd entry{};
  passwd* pw = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &pw) == 0 && pw != nullptr)
    return std::string(pw->pw_name).substr(0, 12);
  return std::to_string(geteuid()).substr(0, 12);
}

}  // namespace vrqsim::client
