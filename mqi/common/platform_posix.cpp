// Socket and process facts of the stand-in MQ on POSIX systems.
#include "platform.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vrqsim {

int ConnectLoopback(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (;;) {
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return fd;
    }
    if (errno != EINTR) break;
  }
  const int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

void ShutdownSocket(int fd) { shutdown(fd, SHUT_RDWR); }

void CloseSocket(int fd) { close(fd); }

std::string UserTag() { return std::to_string(getuid()); }

}  // namespace vrqsim
