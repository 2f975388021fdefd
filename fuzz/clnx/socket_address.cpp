// Caller-filled address texts: arbitrary bytes become a SocketAddress whose fields may
// fill their whole width, and a machine record for the label builder. Only inputs that
// resolve without a name service are resolved ("*" hosts and decimal services), so the
// target never waits on the network.
#include <netinet/in.h>

#include <cstdint>
#include <cstring>

#include "vrqclnx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SocketAddress addr{};
  std::memcpy(&addr, data, size < sizeof addr ? size : sizeof addr);

  char ip[sizeof addr.szIp + 1] = {};
  std::memcpy(ip, addr.szIp, sizeof addr.szIp);
  sockaddr_in sys{};
  if (IsValidIp(ip) && !MapHostIPToAddr(ip, &sys)) __builtin_trap();
  uint32_t number = 0;
  MapStrIpToAddr(ip, &number);

  if (addr.szService[0] >= '0' && addr.szService[0] <= '9') {
    SocketRecord rec{};
    InitSocket(&rec);
    rec.iFamily = AF_INET;
    addr.szHost[0] = '*';
    addr.szHost[1] = '\0';
    if (AddrToIP(&rec, &addr, &sys) && addr.ulPort > 65535) __builtin_trap();
  }

  SysInfo info{};
  std::memcpy(&info, data, size < sizeof info ? size : sizeof info);
  char label[64] = "x";
  const int room = size > 0 ? data[0] % 70 : 1;
  GetSysLabel(&info, label, room < 64 ? room : 64, size > 1 ? data[1] & 1 : 0);
  return 0;
}
