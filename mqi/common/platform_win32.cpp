// Socket and process facts of the stand-in MQ on Windows: WinSock 2 started once per
// process, and the user's name in place of a user id.
#include "platform.h"

#include <winsock2.h>
#include <windows.h>

#include <climits>

namespace vrqsim {

namespace {

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

int ConnectLoopback(uint16_t port) {
  if (!StartWinsock()) return -1;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    closesocket(s);
    return -1;
  }
  const BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return KeepSocket(s);
}

int KeepSocket(uintptr_t handle) {
  if (handle > static_cast<uintptr_t>(INT_MAX)) {
    closesocket(static_cast<SOCKET>(handle));
    return -1;
  }
  return static_cast<int>(handle);
}

void ShutdownSocket(int fd) { shutdown(static_cast<SOCKET>(fd), SD_BOTH); }

void CloseSocket(int fd) { closesocket(static_cast<SOCKET>(fd)); }

std::string UserTag() {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? std::string(name) : std::string("user");
}

}  // namespace vrqsim
