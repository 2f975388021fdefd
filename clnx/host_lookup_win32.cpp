// Name-service calls of the Windows build: dotted-text parsing, forward and reverse host
// look-ups (IPv4 only) and service look-ups through WinSock.
#include <cstring>
#include <string_view>

#include "socket_sys.h"

namespace {

constexpr std::string_view kUnknownHost = "unknown host";
constexpr std::string_view kUnknownService = "unknown service";

template <std::size_t N>
void CopyOut(char* out, std::string_view text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(out, n);
  out[n] = '\0';
}

}  // namespace

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

}  // namespace vrq::net

extern "C" {

VRQCLNX_API int MapHostAddrToName(char* out, const struct sockaddr_in* addr) {
  if (out == nullptr) return 0;
  vrq::net::StartSockets();
  const hostent* host = addr == nullptr ? nullptr
      : gethostbyaddr(reinterpret_cast<const char*>(&addr->sin_addr), sizeof addr->sin_addr, AF_INET);
  if (host == nullptr || host->h_name == nullptr) {
    CopyOut<VRQ_HOST_NAME_SIZE>(out, kUnknownHost);
    return 0;
  }
  CopyOut<VRQ_HOST_NAME_SIZE>(out, host->h_name);
  return 1;
}

VRQCLNX_API int MapServPortToName(char* out, const struct sockaddr_in* addr,
                                  const char* protocol) {
  if (out == nullptr) return 0;
  vrq::net::StartSockets();
  const servent* found = addr == nullptr ? nullptr : getservbyport(addr->sin_port, protocol);
  if (found == nullptr || found->s_name == nullptr) {
    CopyOut<VRQ_SERVICE_NAME_SIZE>(out, kUnknownService);
    return 0;
  }
  CopyOut<VRQ_SERVICE_NAME_SIZE>(out, found->s_name);
  return 1;
}

}  // extern "C"
