// The client's system side on Windows: queue managers are reached over loopback TCP, the
// program name comes from the module file name and the user from GetUserNameA.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "client_platform.h"
#include "platform.h"
#include "qm_dir.h"

namespace vrqsim::client {

bool QueueManagerExists(const std::string& name) {
  return GetFileAttributesA(QmDir(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int ConnectQueueManager(const std::string& name) { return ConnectQueueManagerTcp(name); }

std::string ProgramName() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return "unknown";
  std::string s(path, n);
  return s.substr(s.find_last_of("\\/") + 1).substr(0, 28);
}

int ConnectHost(const std::string& host, uint16_t port) {
  if (host == "localhost" || host == "127.0.0.1") return ConnectLoopback(port);
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return -1;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  SOCKET s = INVALID_SOCKET;
  for (addrinfo* a = found; a && s == INVALID_SOCKET; a = a->ai_next) {
    s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      closesocket(s);
      s = INVALID_SOCKET;
    }
  }
  freeaddrinfo(found);
  return s == INVALID_SOCKET ? -1 : KeepSocket(s);
}

// Windows identifies users by security id, which the stand-in does not carry.
std::string AccountingToken() { return {}; }

std::string UserName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetUserNameA(name, &size)) return "unknown";
  return std::string(name).substr(0, 12);
}

}  // namespace vrqsim::client
