// The queue manager's loopback TCP listener and its port file.
#include "tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform.h"
#include "qm_dir.h"

namespace vrqsim {

int ListenLoopback(const std::string& qm, std::string& error) {
  const char* env = std::getenv(kTcpPortEnv);
  if (env == nullptr) return -1;
  unsigned port = 0;
  const char* end = env + std::strlen(env);
  const auto [stop, ec] = std::from_chars(env, end, port);
  if (ec != std::errc() || stop != end || port > 65535) {
    error = std::string(kTcpPortEnv) + " is not a port: " + env;
    return -1;
  }
  return ListenTcp(port, PortPath(qm), error);
}

int ListenTcp(unsigned port, const std::string& port_file, std::string& error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("cannot open a TCP socket: ") + std::strerror(errno);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const char* address = std::getenv("VRQSIM_TCP_ADDRESS");
  if (address && *address && inet_pton(AF_INET, address, &addr.sin_addr) != 1) {
    error = std::string("VRQSIM_TCP_ADDRESS is not an IPv4 address: ") + address;
    close(fd);
    return -1;
  }
  socklen_t size = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    error = "cannot listen on " + std::string(address && *address ? address : "127.0.0.1") + ":" +
            std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  std::ofstream(port_file) << ntohs(addr.sin_port) << "\n";
  return fd;
}

}  // namespace vrqsim
