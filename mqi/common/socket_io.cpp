// Frame I/O of the client side, the same on every platform: the socket calls themselves are
// in socket_io_posix.cpp and socket_io_win32.cpp.
#include "socket_io.h"

#include <cstring>

#include "wire.h"

namespace vrqsim {

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
