// The socket platform of the POSIX build: error numbers, closing, blocking mode and
// start-up (nothing to start on POSIX systems).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "socket_sys.h"

namespace vrq::net {

const int kErrWouldBlock = EWOULDBLOCK;
const int kErrInProgress = EINPROGRESS;
const int kErrIsConnected = EISCONN;
const int kErrDestAddrReq = EDESTADDRREQ;
const int kErrInvalid = EINVAL;
const int kSendFlags = MSG_NOSIGNAL;

int StartSockets() { return 0; }

int LastError() { return errno; }

void ClearLastError() { errno = 0; }

int KeepDescriptor(int fd) { return fd < 0 ? -1 : fd; }

int CloseDescriptor(int fd) { return close(fd); }

bool FitsDescriptorSet(const fd_set*, int fd) { return fd >= 0 && fd < VRQ_SOCK_SET_SIZE; }

int SetNonBlocking(int fd, bool on) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags == -1) return -1;
  const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(fd, F_SETFL, wanted) == -1 ? -1 : 0;
}

}  // namespace vrq::net
