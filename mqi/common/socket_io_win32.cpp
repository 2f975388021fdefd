// Blocking I/O of the client side on WinSock sockets: send and receive until the whole
// frame has moved.
#include <winsock2.h>

#include "socket_io.h"

namespace vrqsim {

bool ReadAll(int fd, uint8_t* p, size_t n) {
  while (n) {
    const int chunk = n > 65536 ? 65536 : static_cast<int>(n);
    const int r = recv(static_cast<SOCKET>(fd), reinterpret_cast<char*>(p), chunk, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t left = bytes.size() - done;
    const int chunk = left > 65536 ? 65536 : static_cast<int>(left);
    const int n = send(static_cast<SOCKET>(fd), reinterpret_cast<const char*>(bytes.data() + done), chunk, 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace vrqsim
