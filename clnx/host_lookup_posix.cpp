// Name-service calls of the POSIX build: dotted-text parsing, forward and reverse host
// look-ups (IPv4 only) and service look-ups in the services database, all through the
// reentrant interfaces (their exported forms are in host_lookup.cpp).
#include <cerrno>
#include <cstring>
#include <string>

#include "socket_sys.h"

namespace {

// The services entry for a port or a name, through getserv*_r with a local work area.
struct ServiceEntry {
  servent entry{};
  char work[1024]{};
  servent* found = nullptr;
};

}  // namespace

namespace vrq::net {

bool ParseDottedIp(const char* text, in_addr* out) { return inet_aton(text, out) != 0; }

int LookupHost(const char* name, in_addr* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  errno = 0;
  const int rc = getaddrinfo(name, nullptr, &hints, &list);
  if (rc != 0 || list == nullptr) {
    const int err = (rc == EAI_SYSTEM && errno != 0) ? errno : VRQ_SOCK_NO_HOST;
    if (list != nullptr) freeaddrinfo(list);
    return err;
  }
  *out = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
  freeaddrinfo(list);
  return 0;
}

int LookupService(const char* name, const char* protocol, uint16_t* port) {
  ServiceEntry s;
  if (getservbyname_r(name, protocol, &s.entry, s.work, sizeof s.work, &s.found) != 0 ||
      s.found == nullptr) {
    return VRQ_SOCK_NO_SERVICE;
  }
  *port = ntohs(static_cast<uint16_t>(s.found->s_port));
  return 0;
}

bool ReverseHost(const sockaddr_in& addr, std::string* name) {
  char host[NI_MAXHOST]{};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), sizeof addr, host, sizeof host, nullptr, 0,
                  NI_NAMEREQD) != 0) {
    return false;
  }
  *name = host;
  return true;
}

bool ReverseService(const sockaddr_in& addr, const char* protocol, std::string* name) {
  ServiceEntry s;
  if (getservbyport_r(addr.sin_port, protocol, &s.entry, s.work, sizeof s.work, &s.found) != 0 ||
      s.found == nullptr || s.found->s_name == nullptr) {
    return false;
  }
  *name = s.found->s_name;
  return true;
}

}  // namespace vrq::net
