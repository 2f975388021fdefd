// The platform under the network library: the socket headers, and the few calls whose
// names or error reporting differ between BSD sockets and WinSock. Each platform file
// (*_posix.cpp, *_win32.cpp) implements the functions declared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(_WIN32)
// WinSock descriptor sets hold FD_SETSIZE sockets; make them as wide as VRQ_SOCK_SET_SIZE.
#  define FD_SETSIZE 1024
#  include <winsock2.h>
#  include <ws2tcpip.h>
#else
#  include <arpa/inet.h>
#  include <netdb.h>
#  include <netinet/in.h>
#  include <netinet/tcp.h>
#  include <sys/select.h>
#  include <sys/socket.h>
#endif

#include "vrqclnx.h"

namespace vrq::net {

#if defined(_WIN32)
using SockLen = int;
// What socket() and accept() return: WinSock hands out pointer-sized unsigned handles.
using SysSocket = SOCKET;
#else
using SockLen = socklen_t;
using SysSocket = int;
#endif

// Error numbers whose values differ between the platforms.
extern const int kErrWouldBlock;
extern const int kErrInProgress;
extern const int kErrIsConnected;
extern const int kErrDestAddrReq;
extern const int kErrInvalid;
// Flags added to every send so that a closed peer is an error, not a signal.
extern const int kSendFlags;

// Platform start-up; 0 or the platform's error code.
int StartSockets();
// The error number of the last failed call / clearing it before a call.
int LastError();
void ClearLastError();
// The descriptor a record keeps for what socket() or accept() returned: -1 when the call
// failed, its error left as the last error. Records keep descriptors in 32 bits: a WinSock
// handle beyond them is closed (cut to fit, it would name another socket) and counts as a
// failure with WSAEMFILE.
int KeepDescriptor(SysSocket handle);
// Closes a descriptor; the close call's result.
int CloseDescriptor(int fd);
// Sets or clears non-blocking mode; 0 or -1.
int SetNonBlocking(int fd, bool on);
// Whether a descriptor can go into a descriptor set, or is in it already: POSIX sets are
// bitmaps indexed by the descriptor; WinSock sets are lists of at most FD_SETSIZE handles
// of any value, and FD_SET drops a handle without a word once the list is full.
bool FitsDescriptorSet(const fd_set* set, int fd);
// This machine's node name (uname), cut to size - 1 characters.
void LocalNodeName(char* out, std::size_t size);
// The current local time of day as "HH:MM:SS".
void TimeOfDay(char (&out)[9]);
// Sleeps for whole seconds.
void SleepSeconds(unsigned seconds);

// Dotted IPv4 text to an address in network order; false when it is not one.
bool ParseDottedIp(const char* text, in_addr* out);
// Forward look-up of an IPv4 address: 0, or the error code to report (errno or 9003).
int LookupHost(const char* name, in_addr* out);
// Port (host order) of a service name for a protocol: 0, or 9002.
int LookupService(const char* name, const char* protocol, uint16_t* port);
// The host's name for an address, the service's name for a port; false when none is found.
bool ReverseHost(const sockaddr_in& addr, std::string* name);
bool ReverseService(const sockaddr_in& addr, const char* protocol, std::string* name);

// Copies a text into a fixed field, cut to fit and always terminated.
template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = '\0';
}

// A fixed text field as text, ending at its first zero or at the end of the field.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return {field, n};
}

}  // namespace vrq::net
