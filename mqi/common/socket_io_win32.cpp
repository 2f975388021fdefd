// Blocking frame I/O of the client side on WinSock sockets: send and receive until the
// whole frame has moved, bounding every frame length.
#include <winsock2.h>

#include <cstring>

#include "socket_io.h"
#include "wire.h"

namespace vrqsim {

namespace {

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

}  // namespace

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

bool ReadFrame(int fd, uint32_t& code, std::vector<uint8_t>& payload) {
  uint8_t header[kFrameHeader];
  if (!ReadAll(fd, header, sizeof header)) return false;
  uint32_t length;
  std::memcpy(&length, header, 4);
  std::memcpy(&code, header + 4, 4);
  if (length > kMaxFrame) return false;
  payload.resize(length);
  return ReadAll(fd, payload.data(), length);
}

}  // namespace vrqsim
