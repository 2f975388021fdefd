// Host addressing: validation of dotted IPv4 text and the conversions between dotted
// text, 32-bit addresses and the platform's IPv4 socket address, plus the forward
// look-up of a host name. Name-service calls themselves live in the platform file.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "socket_sys.h"

namespace {

constexpr std::string_view kUnknownIp = "unknown ip";

// Dotted text of an address in network order.
void FormatIp(char* out, in_addr address) {
  const uint32_t host = ntohl(address.s_addr);
  std::snprintf(out, VRQ_IP_TEXT_SIZE, "%u.%u.%u.%u", (host >> 24) & 0xFFu, (host >> 16) & 0xFFu,
                (host >> 8) & 0xFFu, host & 0xFFu);
}

// Dotted text to an address in network order. Four decimal groups are read as decimal
// even with leading zeros (never as octal, so "010.0.0.1" is 10.0.0.1, as IsValidIp
// sees it); other text goes to the platform's parser, which knows the short forms.
bool TextToAddr(const char* text, in_addr* out) {
  if (!IsValidIp(text)) return vrq::net::ParseDottedIp(text, out);
  uint32_t address = 0;
  uint32_t group = 0;
  for (const char* p = text;; ++p) {
    if (*p >= '0' && *p <= '9') {
      group = group * 10 + static_cast<uint32_t>(*p - '0');
      continue;
    }
    address = (address << 8) | group;
    group = 0;
    if (*p == '\0') break;
  }
  out->s_addr = htonl(address);
  return true;
}

}  // namespace

extern "C" {

VRQCLNX_API int IsValidIp(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  for (int group = 0; group < 4; ++group) {
    if (group > 0 && *p++ != '.') return 0;
    int digits = 0;
    int value = 0;
    while (*p >= '0' && *p <= '9' && digits < 4) {
      value = value * 10 + (*p++ - '0');
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return 0;
  }
  return *p == '\0' ? 1 : 0;
}

VRQCLNX_API int MapHostIPToAddr(const char* text, struct sockaddr_in* addr) {
  if (text == nullptr || addr == nullptr) return 0;
  // "0.0.0.0" stands for the broadcast address, as the socket layer's callers expect.
  if (std::strcmp(text, "0.0.0.0") == 0) {
    addr->sin_addr.s_addr = INADDR_BROADCAST;
    return 1;
  }
  in_addr parsed{};
  if (!TextToAddr(text, &parsed)) return 0;
  addr->sin_addr = parsed;
  return 1;
}

VRQCLNX_API int MapHostAddrToIP(char* out, const struct sockaddr_in* addr) {
  if (out == nullptr) return 0;
  if (addr == nullptr) {
    std::memcpy(out, kUnknownIp.data(), kUnknownIp.size() + 1);
    return 0;
  }
  FormatIp(out, addr->sin_addr);
  return 1;
}

VRQCLNX_API int MapStrIpToAddr(const char* text, uint32_t* out) {
  if (out == nullptr) return 1;
  in_addr parsed{};
  *out = (text != nullptr && TextToAddr(text, &parsed)) ? ntohl(parsed.s_addr)
                                                                      : 0xFFFFFFFFu;
  return 1;
}

VRQCLNX_API int ResolveHostName(const char* name, char* out) {
  if (name == nullptr || out == nullptr) return 0;
  in_addr address{};
  if (vrq::net::LookupHost(name, &address) != 0) return 0;
  FormatIp(out, address);
  return 1;
}

}  // extern "C"
