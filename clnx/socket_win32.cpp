// The socket platform of the Windows build: WinSock 1.1 started once per process, WinSock
// error numbers, handles kept as 32-bit descriptors, closesocket and FIONBIO.
#include "socket_sys.h"

namespace vrq::net {

const int kErrWouldBlock = WSAEWOULDBLOCK;
const int kErrInProgress = WSAEINPROGRESS;
const int kErrIsConnected = WSAEISCONN;
const int kErrDestAddrReq = WSAEDESTADDRREQ;
const int kErrInvalid = WSAEINVAL;
const int kSendFlags = 0;

namespace {
constexpr WORD kWinsockVersion = MAKEWORD(1, 1);
bool g_started = false;
}  // namespace

int StartSockets() {
  if (g_started) return 0;
  WSADATA data{};
  const int rc = WSAStartup(kWinsockVersion, &data);
  if (rc != 0) return rc;
  if (data.wVersion != kWinsockVersion) {
    WSACleanup();
    return WSAVERNOTSUPPORTED;
  }
  g_started = true;
  return 0;
}

int LastError() { return WSAGetLastError(); }

void ClearLastError() { WSASetLastError(0); }

int KeepDescriptor(SOCKET handle) {
  if (handle == INVALID_SOCKET) return -1;
  if (handle > static_cast<SOCKET>(INT32_MAX)) {
    closesocket(handle);
    WSASetLastError(WSAEMFILE);
    return -1;
  }
  return static_cast<int>(handle);
}

int CloseDescriptor(int fd) { return closesocket(static_cast<SOCKET>(fd)); }

bool FitsDescriptorSet(const fd_set* set, int fd) {
  return fd >= 0 && (set->fd_count < FD_SETSIZE ||
                     FD_ISSET(static_cast<SOCKET>(fd), const_cast<fd_set*>(set)));
}

int SetNonBlocking(int fd, bool on) {
  u_long mode = on ? 1 : 0;
  return ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &mode) == 0 ? 0 : -1;
}

}  // namespace vrq::net
