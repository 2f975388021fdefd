// Name-service calls of the Windows build: dotted-text parsing, forward and reverse host
// look-ups (IPv4 only) and service look-ups through WinSock (their exported forms are in
// host_lookup.cpp).
#include <cstring>
#include <string>

#include "socket_sys.h"

namespace vrq::net {

bool ParseDottedIp(const char* text, in_addr* out) {
  const unsigned long value = inet_addr(text);
  if (value == INADDR_NONE && std::strcmp(text, "255.255.255.255") != 0) return false;
  out->s_addr = value;
  return true;
}

int LookupHost(const char* name, in_addr* out) {
  StartSockets();
  WSASetLastError(0);
  const hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
    const int err = WSAGetLastError();
    return err != 0 ? err : VRQ_SOCK_NO_HOST;
  }
  std::memcpy(out, host->h_addr_list[0], sizeof *out);
  return 0;
}

int LookupService(const char* name, const char* protocol, uint16_t* port) {
  StartSockets();
  const servent* found = getservbyname(name, protocol);
  if (found == nullptr) return VRQ_SOCK_NO_SERVICE;
  *port = ntohs(static_cast<uint16_t>(found->s_port));
  return 0;
}

bool ReverseHost(const sockaddr_in& addr, std::string* name) {
  StartSockets();
  const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&addr.sin_addr), sizeof addr.sin_addr, AF_INET);
  if (host == nullptr || host->h_name == nullptr) return false;
  *name = host->h_name;
  return true;
}

bool ReverseService(const sockaddr_in& addr, const char* protocol, std::string* name) {
  StartSockets();
  const servent* found = getservbyport(addr.sin_port, protocol);
  if (found == nullptr || found->s_name == nullptr) return false;
  *name = found->s_name;
  return true;
}

}  // namespace vrq::net
