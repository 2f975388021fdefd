// The exported reverse look-ups, the same on every platform: a host's name for an address
// and a service's name for a port, or "unknown host" / "unknown service". The look-ups
// themselves are in host_lookup_posix.cpp and host_lookup_win32.cpp.
#include <string>
#include <string_view>

#include "socket_sys.h"

namespace {

template <std::size_t N>
int CopyOut(char* out, std::string_view text, bool found) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(out, n);
  out[n] = '\0';
  return found ? 1 : 0;
}

}  // namespace

extern "C" {

VRQCLNX_API int MapHostAddrToName(char* out, const struct sockaddr_in* addr) {
  if (out == nullptr) return 0;
  std::string name;
  if (addr == nullptr || !vrq::net::ReverseHost(*addr, &name))
    return CopyOut<VRQ_HOST_NAME_SIZE>(out, "unknown host", false);
  return CopyOut<VRQ_HOST_NAME_SIZE>(out, name, true);
}

VRQCLNX_API int MapServPortToName(char* out, const struct sockaddr_in* addr, const char* protocol) {
  if (out == nullptr) return 0;
  std::string name;
  if (addr == nullptr || !vrq::net::ReverseService(*addr, protocol, &name))
    return CopyOut<VRQ_SERVICE_NAME_SIZE>(out, "unknown service", false);
  return CopyOut<VRQ_SERVICE_NAME_SIZE>(out, name, true);
}

}  // extern "C"
